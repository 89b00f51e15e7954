#include "HexParse.h"

#include "SettingsFile.h"

namespace {

constexpr size_t kMaxTextLength = 255;  // characters
constexpr size_t kDigits = 8;
constexpr int kNotHex = -1;

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return kNotHex;
}

}  // namespace

std::optional<uint32_t> ParseHex8(std::string_view text)
{
    text = FirstCharacters(text, kMaxTextLength);
    // The last eight bytes stand for the last eight characters: a character
    // outside ASCII is never a digit, and when it is among the last eight
    // characters one of its bytes is among the last eight bytes.
    text = text.substr(text.size() > kDigits ? text.size() - kDigits : 0);
    uint32_t value = 0;
    for (char c : text) {
        const int digit = DigitValue(c);
        if (digit == kNotHex)
            return std::nullopt;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return value;
}

std::string NotHexText(std::string_view text)
{
    return "'" + std::string(text) + "' is not a valid hexadecimal value";
}
