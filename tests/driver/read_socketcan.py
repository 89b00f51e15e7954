"""Reads frames from a SocketCAN interface with python-can's socketcan Bus
until the count given has come; prints one line a frame (time stamp, 1 for
29-bit, identifier) and fails when a time stamp goes back."""
import sys

import can

interface, count = sys.argv[1], int(sys.argv[2])
last = 0.0
with can.Bus(interface="socketcan", channel=interface) as bus:
    print("ready", flush=True)
    for _ in range(count):
        message = bus.recv(timeout=30)
        if message is None:
            sys.exit("no frame within 30 s")
        if message.timestamp < last:
            sys.exit("time stamp %.6f after %.6f" % (message.timestamp, last))
        last = message.timestamp
        print("%.6f %d %X" % (message.timestamp, message.is_extended_id, message.arbitration_id), flush=True)
