// The serial ports offered in the port list, under the names the capture opens.
#pragma once

#include <string>
#include <vector>

// The serial ports the system has: on Windows by number, on Linux USB
// converters first.
std::vector<std::string> SystemPortNames();

// Of a system's device names, those of COM ports: "COM" in any letter case
// first, at most six characters long; in natural order (COM3 before COM10),
// names without a number last.
std::vector<std::string> FilterComPorts(const std::vector<std::string> &deviceNames);

// The serial ports of a tty class folder (/sys/class/tty), as bare names:
// ttyUSB*, then ttyACM*, then the ttyS* that have a UART behind them (a
// "type" other than 0, unknown), each group in natural order (ttyUSB2 before
// ttyUSB10). Only entries that stand for a device (have a "device" entry) count.
std::vector<std::string> SerialTtys(const std::string &classFolder);
