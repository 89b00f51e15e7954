// Byte encodings of the adapter protocol: bit timing, filter block and the
// four identifier bytes of filters and received frames.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "AdapterProtocol.h"

constexpr uint32_t kMinCanRate = 15625;    // bit/s
constexpr uint32_t kMaxCanRate = 1000000;  // bit/s

struct SpeedBytes {
    std::array<uint8_t, 3> bytes{};
    std::string_view sampleText;  // the step actually sent, e.g. "75%"
    std::string_view sjwText;
};

// The three data bytes of the speed command; nothing for a rate out of range.
std::optional<SpeedBytes> EncodeCanSpeed(uint32_t rate, uint32_t samplePercent, uint32_t sjwPercent);

enum class IdField { Address, Mask };

std::array<uint8_t, 4> EncodeIdentifier(uint32_t value, bool extended, IdField field);
uint32_t DecodeIdentifier(const uint8_t *bytes, bool extended);

struct FilterSettings {
    uint32_t radr11 = 0, radr12 = 0, rmsk1 = 0;
    uint32_t radr21 = 0, radr22 = 0, radr23 = 0, radr24 = 0, rmsk2 = 0;
};

std::array<uint8_t, 32> BuildFilterBlock(const FilterSettings &filters);
