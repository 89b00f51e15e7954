#include "CandumpLine.h"

#include <algorithm>

#include "WireIdentifier.h"

namespace vektacand {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr uint64_t kUsPerSecond = 1000000;
constexpr int kMicroDigits = 6;
// As candump -L writes them: "(%010lu.%06lu)".
constexpr int kSecondDigits = 10;
constexpr int kShortIdDigits = 3;
constexpr int kLongIdDigits = 8;

char *WriteDecimal(char *at, uint64_t value, int minDigits)
{
    char digits[20];
    int count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0 || count < minDigits);
    while (count > 0)
        *at++ = digits[--count];
    return at;
}

char *WriteHex(char *at, uint32_t value, int digits)
{
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        *at++ = kHexDigits[(value >> shift) & 0xF];
    return at;
}

}  // namespace

size_t FormatCandumpLine(const SinkFrame &frame, std::string_view iface, char *out)
{
    char *at = out;
    *at++ = '(';
    at = WriteDecimal(at, frame.timeUs / kUsPerSecond, kSecondDigits);
    *at++ = '.';
    at = WriteDecimal(at, frame.timeUs % kUsPerSecond, kMicroDigits);
    *at++ = ')';
    *at++ = ' ';
    at = std::copy(iface.begin(), iface.end(), at);
    *at++ = ' ';
    const WireIdentifier wire = ToWire(frame.id);
    at = WriteHex(at, wire.id, wire.extended ? kLongIdDigits : kShortIdDigits);
    *at++ = '#';
    for (uint8_t i = 0; i < frame.length; ++i)
        at = WriteHex(at, frame.data[i], 2);
    *at++ = '\n';
    return size_t(at - out);
}

}  // namespace vektacand
