#include "Cp1251.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// Unicode code points of bytes 0x80..0xBF of code page 1251 (0 = unassigned).
constexpr std::array<char16_t, 64> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0000, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};
constexpr char32_t kCyrillicA = 0x0410;  // А..я map to 0xC0..0xFF
constexpr char32_t kCyrillicYaSmall = 0x044F;

char ToByte(char32_t code)
{
    if (code < 0x80)
        return static_cast<char>(code);
    if (code >= kCyrillicA && code <= kCyrillicYaSmall)
        return static_cast<char>(0xC0 + (code - kCyrillicA));
    const auto found = std::find(kUpperHalf.begin(), kUpperHalf.end(), static_cast<char16_t>(code));
    if (code <= 0xFFFF && found != kUpperHalf.end())
        return static_cast<char>(0x80 + (found - kUpperHalf.begin()));
    return '?';
}

// Decodes one UTF-8 sequence at text[pos], advancing pos; malformed bytes
// decode as U+FFFD one at a time.
char32_t Decode(std::string_view text, size_t &pos)
{
    const auto lead = static_cast<uint8_t>(text[pos++]);
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (lead < 0x80)
        return lead;
    if (extra == 0 || pos + extra > text.size())
        return 0xFFFD;
    char32_t code = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        const auto next = static_cast<uint8_t>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
            return 0xFFFD;
        code = (code << 6) | (next & 0x3F);
    }
    pos += extra;
    return code;
}

}  // namespace

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
}

std::string Utf8ToCp1251(std::string_view utf8)
{
    if (IsAscii(utf8))
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();)
        out.push_back(ToByte(Decode(utf8, pos)));
    return out;
}
