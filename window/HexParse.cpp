#include "HexParse.h"

namespace {

constexpr size_t kMaxTextLength = 255;
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
    text = text.substr(0, kMaxTextLength);
    uint32_t value = 0;
    const size_t firstCounted = text.size() > kDigits ? text.size() - kDigits : 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const int digit = DigitValue(text[i]);
        if (digit == kNotHex)
            return std::nullopt;
        if (i >= firstCounted)
            value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return value;
}
