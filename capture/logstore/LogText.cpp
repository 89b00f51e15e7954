#include "LogText.h"

#include <cstdio>

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr double k100nsPerMs = 10000.0;

std::string TwoDigits(int value)
{
    const std::string text = "00" + std::to_string(value);
    return text.substr(text.size() - 2);
}
}  // namespace

char *WriteHexPairs(char *out, const uint8_t *bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        *out++ = kHexDigits[bytes[i] >> 4];
        *out++ = kHexDigits[bytes[i] & 0x0F];
        *out++ = ' ';
    }
    return out;
}

void WriteStamp(char (&out)[10], uint32_t elapsedMs)
{
    for (int i = 9; i >= 0; --i) {
        out[i] = static_cast<char>('0' + elapsedMs % 10);
        elapsedMs /= 10;
    }
}

char *WriteHexDigits(char *out, uint32_t value, int digits)
{
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        *out++ = kHexDigits[(value >> shift) & 0x0F];
    return out;
}

char *WriteHex8(char *out, uint32_t value)
{
    return WriteHexDigits(out, value, 8);
}

std::string FormatPeriod(uint32_t period100ns)
{
    // printf follows the locale's decimal separator, as the operator expects.
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", period100ns / k100nsPerMs);
    return text;
}

std::string LogFileName(const LocalDateTime &t)
{
    return TwoDigits(t.day) + TwoDigits(t.month) + TwoDigits(t.year) + "_" + TwoDigits(t.hour) + TwoDigits(t.minute) +
           TwoDigits(t.second) + ".log";
}
