// The identifier a frame goes out with, on the CAN socket and in the
// candump lines alike: an 11-bit group keeps 11 bits even when the adapter
// hands on a longer identifier that met it.
#pragma once

#include <cstdint>

#include "capture/AdapterProtocol.h"

namespace vektacand {

constexpr uint32_t kStandardIdMask = 0x7FF;
constexpr uint32_t kExtendedIdMask = 0x1FFFFFFF;

struct WireIdentifier {
    uint32_t id = 0;
    bool extended = false;
};

// From a sink frame's identifier, which carries kExtendedFlag for 29 bits.
constexpr WireIdentifier ToWire(uint32_t sinkId)
{
    const bool extended = (sinkId & kExtendedFlag) != 0;
    return {sinkId & (extended ? kExtendedIdMask : kStandardIdMask), extended};
}

}  // namespace vektacand
