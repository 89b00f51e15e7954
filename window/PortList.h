// The serial ports offered in the port list, under the names the capture opens.
#pragma once

#include <string>
#include <vector>

// The serial ports the system has, in the order it reports them.
std::vector<std::string> SystemPortNames();

// Of a system's device names, those of COM ports: "COM" in any letter case
// first, at most six characters long.
std::vector<std::string> FilterComPorts(const std::vector<std::string> &deviceNames);

// The entries of a tty class folder that stand for a device (have a "device"
// entry), as bare names such as "ttyUSB0", in the order found.
std::vector<std::string> TtyDevices(const std::string &classFolder);
