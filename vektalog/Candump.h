// Capture logs as candump -l lines: "(seconds.micros) IFACE ID#DATA".
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Problem.h"
#include "RunReader.h"

namespace vektalog {

// One frame's line, newline included: 3 identifier digits for 11-bit, 8 for 29-bit.
std::string CandumpLine(int64_t timeMs, std::string_view iface, const Frame &frame);

// Takes each finished line; answers a problem when it cannot be written.
using LineSink = std::function<std::optional<Problem>(std::string_view line)>;

// Writes the frames of the log files of one run, given in the order written.
// Every file is checked before the first line goes out, so bad input writes
// nothing.
std::optional<Problem> WriteCandump(const std::vector<std::string> &files, std::string_view iface, const LineSink &out);

}  // namespace vektalog
