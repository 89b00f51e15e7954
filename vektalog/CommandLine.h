// The arguments of the vektalog program.
#pragma once

#include <string>
#include <vector>

namespace vektalog {

struct CommandLine {
    bool help = false;
    std::string iface = "can0";
    std::vector<std::string> files;
};

// Answers false with a message for arguments it cannot take.
bool ParseCommandLine(const std::vector<std::string> &args, CommandLine &line, std::string &error);

// The text of --help.
std::string Usage();

}  // namespace vektalog
