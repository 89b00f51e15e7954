// A capture set-up as the window's controls hold it: their designed defaults
// and list values, what a settings file gave, and the copy into the shared
// record that Start makes. The window and the bridge both run on it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "StoredSettings.h"

struct TCaptureControl;

// The values of the window's lists, in list order.
inline constexpr std::array<const char *, 2> kAdapterKinds = {"VEKTA", "TRILOX"};
inline constexpr std::array<int32_t, 6> kSamplePoints = {60, 65, 70, 75, 80, 85};  // percent
inline constexpr std::array<int32_t, 4> kSjwSteps = {5, 10, 15, 20};               // percent
inline constexpr std::array<int32_t, 2> kIdentifierBits = {11, 29};

// The window's designed defaults.
struct CaptureSetup {
    std::string port = "COM1";
    std::array<int32_t, 5> indexes = {0, 4, 2, 0, 0};  // list positions, as StoredSettings::indexes
    bool adapterLog = false;
    bool canLog = false;
    int32_t canBaud = 500000;  // bit/s
    int32_t rto = 1000;        // ms
    std::array<std::string, 8> filters = {"000007E0", "000007E8", "00000FFF", "000007E1",
                                          "000007E9", "000007E2", "000007EA", "00000FFF"};
};

// Takes what a settings file gave.
void TakeStored(const StoredSettings &stored, CaptureSetup &setup);

// The message for the first list position outside its list, if any.
std::optional<std::string> CheckListPositions(const CaptureSetup &setup);

// Copies the set-up into control field by field, in the order the operator
// reads them; the first value that does not convert ends the copy with its
// message, and the fields before it stay written.
std::optional<std::string> CopyToControl(const CaptureSetup &setup, TCaptureControl &control);
