// Command messages the initialisation must put on the wire, byte for byte.
#pragma once

#include <cstdint>
#include <vector>

namespace testing_support {

// The filter command for the window's default filters, both groups 11-bit.
inline const std::vector<uint8_t> kFilters = {0x53, 0x20, 0xFC, 0x00, 0x00, 0x00, 0xFD, 0x00, 0x00, 0x00, 0xFC, 0x04,
                                              0x00, 0x00, 0xFD, 0x04, 0x00, 0x00, 0xFC, 0x08, 0x00, 0x00, 0xFD, 0x08,
                                              0x00, 0x00, 0xFF, 0x1C, 0x00, 0x00, 0xFF, 0x1C, 0x00, 0x00};

// TRILOX's first command goes at this rate (bit/s), the rest at 833333.
constexpr uint32_t kTriloxSetupRate = 2000000;

// TRILOX's first command: 32 zero bytes, sent at 2000000 bit/s.
inline std::vector<uint8_t> TriloxSetup()
{
    std::vector<uint8_t> setup = {0x59, 0x20};
    setup.resize(34, 0x00);
    return setup;
}

}  // namespace testing_support
