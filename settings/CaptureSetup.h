// A capture set-up as the window's controls hold it, filled from a settings
// file and the command line, and copied into the shared record as Start does.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "window/StoredSettings.h"

struct TCaptureControl;

namespace vektacand {

// The window's designed defaults.
struct Setup {
    std::string port = "COM1";
    std::array<int32_t, 5> indexes = {0, 4, 2, 0, 0};  // as StoredSettings::indexes
    bool adapterLog = false;
    bool canLog = false;
    int32_t canBaud = 500000;
    int32_t rto = 1000;
    std::array<std::string, 8> filters = {"000007E0", "000007E8", "00000FFF", "000007E1",
                                          "000007E9", "000007E2", "000007EA", "00000FFF"};
};

// The texts of the window's lists, in list order.
inline constexpr std::array<const char *, 2> kAdapterKinds = {"VEKTA", "TRILOX"};
inline constexpr std::array<int32_t, 6> kSamplePoints = {60, 65, 70, 75, 80, 85};  // percent
inline constexpr std::array<int32_t, 4> kSjwSteps = {5, 10, 15, 20};               // percent
inline constexpr std::array<int32_t, 2> kIdentifierBits = {11, 29};

// Takes what a settings file gave.
void TakeStored(const StoredSettings &stored, Setup &setup);

// Checks every value and copies the set-up into control; answers the message
// for the first value that does not hold, and then control is untouched.
std::optional<std::string> CopyToControl(const Setup &setup, TCaptureControl &control);

}  // namespace vektacand
