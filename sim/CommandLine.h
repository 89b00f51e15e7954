// The arguments of the vektasim program.
#pragma once

#include <string>
#include <vector>

#include "Simulator.h"

namespace vektasim {

struct CommandLine {
    Options options;
    std::string recordPath;  // append every received message here, if not empty
    bool help = false;
};

// Answers false with a message for an argument it cannot take.
bool ParseCommandLine(const std::vector<std::string> &args, CommandLine &line, std::string &error);

// Every option, one a line.
std::string Usage();

}  // namespace vektasim
