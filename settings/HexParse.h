// Address and mask texts of the filter fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The value of an address or mask text (UTF-8, of which the first 255
// characters are read): its last eight characters as hexadecimal, a shorter
// text padded with zeros on the left, an empty one 0. What comes before the
// last eight characters does not count. Digits a-f count as A-F; any other
// character among the last eight gives nothing.
std::optional<uint32_t> ParseHex8(std::string_view text);

// The message for a text ParseHex8 does not take.
std::string NotHexText(std::string_view text);
