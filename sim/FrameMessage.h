// Frame messages as the adapter puts them on the line.
#pragma once

#include <cstdint>
#include <vector>

#include "Simulator.h"

namespace vektasim {

// The simulator keeps its own copy of the protocol's facts, apart from the
// capture library's, on purpose: it is the independent party in the tests,
// so a wrong number in one side shows up as a failing test.
constexpr uint8_t kFrameMessageType = 0x70;
constexpr uint8_t kIdentifierBytes = 4;
constexpr uint8_t kMaxDataBytes = 8;

// Appends the frame message for frame to out, without a temporary.
void AppendFrameMessage(const CanFrame &frame, Kind kind, std::vector<uint8_t> &out);

}  // namespace vektasim
