// What the 22 lines of a settings file say, read the way the window reads
// them; shared by the window and the programs that run its set-ups.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "SettingsFile.h"

// One value per line; a value the reading did not reach stays empty.
struct StoredSettings {
    std::optional<std::string> port;
    // Adapter kind, sample point, SJW, identifier length of group 1 and 2.
    std::array<std::optional<int32_t>, 5> indexes;
    std::array<std::optional<bool>, 2> checks;        // "Adapter LOG", "CAN LOG"
    std::array<std::optional<int32_t>, 2> numbers;    // CAN bit rate, RTO
    std::array<std::optional<std::string>, 8> texts;  // RADR11, RADR12, RMSK1, RADR21..RADR24, RMSK2
    std::array<std::optional<int32_t>, 4> placement;  // height, width, top, left
};

// Positions within StoredSettings::indexes.
namespace SettingsIndex {
constexpr size_t kAdapter = 0;
constexpr size_t kSample = 1;
constexpr size_t kSjw = 2;
constexpr size_t kGroup1Bits = 3;
constexpr size_t kGroup2Bits = 4;
}  // namespace SettingsIndex

// Reads the lines in order; the first that does not convert ends the reading
// with its message, and the values before it stand.
std::optional<std::string> ReadStoredSettings(const SettingsText &text, StoredSettings &stored);
