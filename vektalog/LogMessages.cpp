#include "LogMessages.h"

#include "common/AsciiText.h"

namespace vektalog {

namespace {

constexpr size_t kStampDigits = 10;
constexpr std::string_view kStampEnd = ": ";
constexpr size_t kIdDigits = 8;
constexpr std::string_view kIdEnd = ": ";
constexpr size_t kPairChars = 3;  // two digits and a blank
constexpr uint32_t kMaxIdentifier = 0x1FFFFFFF;
constexpr std::string_view kNoData = "No Data";
constexpr std::string_view kSpeedField = " SPEED=";
constexpr size_t kWidthDigits = 2;  // "11" or "29"

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Upper-case only, as the log writes them.
bool HexDigit(char c, uint32_t &value)
{
    const int digit = HexDigitValue(c);
    if (digit < 0 || (c >= 'a' && c <= 'f'))
        return false;
    value = static_cast<uint32_t>(digit);
    return true;
}

bool ParseHex(std::string_view text, uint32_t &value)
{
    value = 0;
    for (const char c : text) {
        uint32_t digit = 0;
        if (!HexDigit(c, digit))
            return false;
        value = value << 4 | digit;
    }
    return true;
}

// "06 41 00 " into bytes; false when the text is not such pairs or holds
// more than capacity of them.
bool ParsePairs(std::string_view text, uint8_t *bytes, size_t capacity, size_t &count)
{
    if (text.size() % kPairChars != 0 || text.size() / kPairChars > capacity)
        return false;
    count = text.size() / kPairChars;
    for (size_t i = 0; i < count; ++i) {
        const std::string_view pair = text.substr(i * kPairChars, kPairChars);
        uint32_t value = 0;
        if (pair[2] != ' ' || !ParseHex(pair.substr(0, 2), value))
            return false;
        bytes[i] = static_cast<uint8_t>(value);
    }
    return true;
}

bool Width(std::string_view text, bool &extended)
{
    extended = text == "29";
    return extended || text == "11";
}

}  // namespace

bool SplitLogLine(std::string_view line, LogLine &out)
{
    if (line.size() < kStampDigits + kStampEnd.size() || line.substr(kStampDigits, kStampEnd.size()) != kStampEnd)
        return false;
    uint64_t stamp = 0;
    for (const char c : line.substr(0, kStampDigits)) {
        if (!IsDigit(c))
            return false;
        stamp = stamp * 10 + static_cast<uint64_t>(c - '0');
    }
    if (stamp > UINT32_MAX)
        return false;
    out.stampMs = static_cast<uint32_t>(stamp);
    out.message = line.substr(kStampDigits + kStampEnd.size());
    return true;
}

bool ParseFrameLine(std::string_view message, FrameLine &frame, std::string &problem)
{
    const std::string_view rest = message.substr(kFramePrefix.size());
    if (rest.size() < kIdDigits + kIdEnd.size() || rest.substr(kIdDigits, kIdEnd.size()) != kIdEnd ||
        !ParseHex(rest.substr(0, kIdDigits), frame.id)) {
        problem = "bad frame line: the identifier is not 8 upper-case hex digits and \": \"";
        return false;
    }
    if (frame.id > kMaxIdentifier) {
        problem = "bad frame line: the identifier " + std::string(rest.substr(0, kIdDigits)) + " is above 1FFFFFFF";
        return false;
    }
    size_t count = 0;
    if (!ParsePairs(rest.substr(kIdDigits + kIdEnd.size()), frame.data.data(), kMaxDataBytes, count)) {
        problem = "bad frame line: the data is not 0 to 8 bytes of two upper-case hex digits and a blank";
        return false;
    }
    frame.length = static_cast<uint8_t>(count);
    return true;
}

bool ParseHexDump(std::string_view dump, MessageBytes &message)
{
    if (dump == kNoData) {
        message.size = 0;
        return true;
    }
    return !dump.empty() && ParsePairs(dump, message.bytes.data(), message.bytes.size(), message.size);
}

bool ParseSettingsLine(std::string_view message, bool &group1Extended)
{
    auto take = [&message](std::string_view text) {
        if (!message.starts_with(text))
            return false;
        message.remove_prefix(text.size());
        return true;
    };
    auto width = [&message](bool &extended) {
        if (message.size() < kWidthDigits || !Width(message.substr(0, kWidthDigits), extended))
            return false;
        message.remove_prefix(kWidthDigits);
        return true;
    };
    bool group2Extended = false;
    return take("CAN") && width(group1Extended) && take(" CAN") && width(group2Extended) && take(kSpeedField);
}

}  // namespace vektalog
