#!/usr/bin/env python3
"""Runs one command on QEMU's machine protocol (QMP) over its Unix socket.

  scripts/qmp.py SOCKET COMMAND [ARGUMENTS_JSON] [--wait-event EVENT]

Prints QEMU's answer (the "return" object) as one line of JSON; fails with
QEMU's error or when no answer comes within 30 s. --wait-event EVENT then
also waits for that event; when the arguments name a device ("id"), only an
event about that device counts. It may come before the answer, so events are
watched from the start of the session.
"""

import argparse
import json
import socket
import sys
import time

ANSWER_WAIT_S = 30


class QmpError(Exception):
    pass


class Session:
    def __init__(self, path, timeout_s):
        self.deadline = time.monotonic() + timeout_s
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.settimeout(timeout_s)
        self.sock.connect(path)
        self.reader = self.sock.makefile("rb")
        self.events = []
        self.next_id = 0
        greeting = self.read()
        if "QMP" not in greeting:
            raise QmpError(f"no QMP greeting: {greeting}")
        self.execute("qmp_capabilities")

    def close(self):
        self.reader.close()
        self.sock.close()

    def read(self):
        remaining = self.deadline - time.monotonic()
        if remaining <= 0:
            raise QmpError("no answer in time")
        self.sock.settimeout(remaining)
        line = self.reader.readline()
        if not line:
            raise QmpError("QEMU closed the connection")
        return json.loads(line)

    def execute(self, command, arguments=None):
        self.next_id += 1
        request = {"execute": command, "id": self.next_id}
        if arguments:
            request["arguments"] = arguments
        self.sock.sendall(json.dumps(request).encode() + b"\n")
        while True:
            message = self.read()
            if "event" in message:
                self.events.append(message)
            elif message.get("id") != self.next_id:
                continue  # not the answer to this request
            elif "error" in message:
                error = message["error"]
                raise QmpError(f"{command}: {error.get('class')}: {error.get('desc')}")
            else:
                return message.get("return")

    def wait_event(self, name, device):
        def matches(message):
            data = message.get("data", {})
            return message["event"] == name and (device is None or data.get("device") == device)

        while not any(matches(event) for event in self.events):
            message = self.read()
            if "event" in message:
                self.events.append(message)


def main():
    parser = argparse.ArgumentParser(description="One QMP command, its answer.")
    parser.add_argument("socket")
    parser.add_argument("command")
    parser.add_argument("arguments", nargs="?", type=json.loads, default=None)
    parser.add_argument("--wait-event", metavar="EVENT")
    options = parser.parse_args()
    try:
        session = Session(options.socket, ANSWER_WAIT_S)
        try:
            answer = session.execute(options.command, options.arguments)
            if options.wait_event:
                device = (options.arguments or {}).get("id")
                session.wait_event(options.wait_event, device)
        finally:
            session.close()
    except (OSError, ValueError, QmpError) as error:
        print(f"qmp: {options.command}: {error}", file=sys.stderr)
        return 1
    print(json.dumps(answer))
    return 0


if __name__ == "__main__":
    sys.exit(main())
