"""Prints every frame python-can reads from a candump -l file, one a line:
time stamp, identifier, 1 for 29-bit, data length, data."""
import sys

import can

for message in can.LogReader(sys.argv[1]):
    print("%.6f %X %d %d %s" % (message.timestamp, message.arbitration_id, message.is_extended_id, message.dlc,
                                bytes(message.data).hex().upper()))
