// The arguments of vektacand: vektacand [OPTIONS] TTY [IFACE].
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings/CaptureSetup.h"

namespace vektacand {

struct CommandLine {
    bool help = false;
    bool version = false;
    bool candump = false;
    bool create = false;
    bool anyInterface = false;  // IFACE may be other than a vcan
    std::string settingsFile;   // empty: the window's defaults
    std::string logDir;         // empty: the folder the window would use
    std::string tty;
    std::string iface;  // empty: no interface
    // Set-up values given as options, applied over the settings file.
    std::optional<int32_t> adapter, sample, sjw, group1Bits, group2Bits;
    std::optional<int32_t> canBaud, rto;
    std::optional<bool> adapterLog, canLog;
    std::optional<std::array<std::string, 3>> group1;  // RADR11, RADR12, RMSK1
    std::optional<std::array<std::string, 5>> group2;  // RADR21..RADR24, RMSK2
};

// Answers false with a message for arguments it cannot take.
bool ParseCommandLine(const std::vector<std::string> &args, CommandLine &line, std::string &error);

// The options over what the settings file (or the defaults) gave; the port
// given on the command line replaces line 1.
void ApplyOptions(const CommandLine &line, CaptureSetup &setup);

// The text of --help.
std::string Usage();

}  // namespace vektacand
