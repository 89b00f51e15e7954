#include "HexParse.h"

#include "SettingsFile.h"
#include "common/AsciiText.h"

namespace {

constexpr size_t kDigits = 8;

}  // namespace

std::optional<uint32_t> ParseHex8(std::string_view text)
{
    text = FirstCharacters(text, kMaxValueLength);
    // The last eight bytes stand for the last eight characters: a character
    // outside ASCII is never a digit, and when it is among the last eight
    // characters one of its bytes is among the last eight bytes.
    text = text.substr(text.size() > kDigits ? text.size() - kDigits : 0);
    uint32_t value = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return value;
}

std::string NotHexText(std::string_view text)
{
    // Built in steps: GCC 12 misreads a literal added to a string as overlapping.
    std::string message = "'";
    message.append(text).append("' is not a valid hexadecimal value");
    return message;
}
