// One run of vektacand: the checked set-up, then the capture until a signal.
#pragma once

#include <string>

#include "CommandLine.h"

namespace vektacand {

constexpr int kExitRunFailed = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitReaderGone = 3;  // standard output's reader went away

// Reads the settings file and the options into the shared record and sets
// its log folder; the message of the first problem otherwise.
std::optional<std::string> PrepareControl(const CommandLine &line, const std::string &programFolder);

// Runs the capture into the outputs until SIGINT, SIGTERM or SIGHUP, or until
// the reader of --candump's lines has gone; answers the exit status.
int RunBridge(const CommandLine &line);

}  // namespace vektacand
