// Address and mask texts of the filter fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The value of an address or mask text: its last eight characters read as
// hexadecimal, a shorter text padded with zeros on the left, an empty one 0.
// Digits a-f count as A-F. A text with any other character gives nothing.
std::optional<uint32_t> ParseHex8(std::string_view text);
