// Capture log files written for a test, and the lines they are made of.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/TempDir.h"

namespace vektalog_test {

struct LogFileText {
    std::string name;  // DDMMYY_hhmmss.log, or any other name
    std::string text;  // the bytes as they stand in the file
};

// Each line ended by CR LF, as the log writes them.
std::string Lines(std::initializer_list<std::string_view> lines);

// Writes the files into dir; answers their paths in the given order.
std::vector<std::string> WriteLogs(const testing_support::TempDir &dir, const std::vector<LogFileText> &files);

// Replaces "{dir}" with dir's path and a separator.
std::string WithDir(std::string text, const testing_support::TempDir &dir);

// Two logs a second apart: 8 December 2026, 04:30:12 and 04:30:13.
inline const std::string kName12 = "081226_043012.log";
inline const std::string kName13 = "081226_043013.log";

// The lines a run writes before its first frame: port, settings and, with
// "Adapter LOG", the initialisation of either adapter kind.
inline constexpr std::string_view kOpen = "0000000000: Open COM1 Baud=833333(833333) RTO=1000";
inline constexpr std::string_view kSettings11 = "0000000000: CAN11 CAN11 SPEED=500000b/s SAMP=80% SJW=15%";
inline constexpr std::string_view kSettings29 = "0000000000: CAN29 CAN11 SPEED=500000b/s SAMP=80% SJW=15%";
inline constexpr std::string_view kInitStart = "0000000001: --- Start Init Adapter ---";
inline constexpr std::string_view kVektaFirst = "0000000001: TxD: 5F 00 ";
inline constexpr std::string_view kTriloxFirst =
    "0000000001: TxD: 59 20 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "00 00 ";
inline constexpr std::string_view kInitEnd = "0000000003: --- End Init Adapter ---";
inline constexpr std::string_view kContinue = "0000000000: Continue COM1 Baud=833333(833333) RTO=1000 RTS=ON";

}  // namespace vektalog_test
