// One frame as a can-utils log line: "(1700000000.123456) can0 123#DEADBEEF",
// the seconds at least ten digits wide.
#pragma once

#include <cstddef>
#include <string_view>

#include "capture/FrameSink.h"

namespace vektacand {

// Longest line: the time, the name of up to 15 characters, 8 identifier
// digits and 8 data bytes.
constexpr size_t kMaxCandumpLine = 96;

// Writes the line with its newline into out (kMaxCandumpLine bytes); answers its length.
size_t FormatCandumpLine(const SinkFrame &frame, std::string_view iface, char *out);

}  // namespace vektacand
