// Arbitrary settings files: every line gives a value or the operator's
// conversion message, never a crash; address texts give a value or nothing.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/HexParse.h"
#include "settings/SettingsFile.h"

namespace {

constexpr size_t kLines = 22;
constexpr size_t kFirstIndexLine = 1, kLastIndexLine = 5;
constexpr size_t kFirstCheckLine = 6, kLastCheckLine = 7;
constexpr size_t kFirstAddressLine = 10, kLastAddressLine = 17;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Only the last eight characters of an address count, whatever precedes them.
void CheckAddress(const std::string &text)
{
    const auto value = ParseHex8(text);
    const std::string_view last8 = std::string_view(text).substr(text.size() > 8 ? text.size() - 8 : 0);
    bool allHex = true;
    for (char c : last8)
        allHex = allHex && IsHexDigit(c);
    Check(value.has_value() == allHex);
    if (value && !last8.empty())
        Check(*value == std::strtoul(std::string(last8).c_str(), nullptr, 16));
}

// A number the check-box lines take reads the same to the C library, unless
// it lies beyond the range of a double.
void CheckNumber(const std::string &text)
{
    const auto nonZero = IsNonZeroNumber(text);
    if (!nonZero)
        return;
    char *end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    Check(end == text.c_str() + text.size());
    if (errno != ERANGE)
        Check((value != 0) == *nonZero);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const SettingsText text = SplitSettingsText({reinterpret_cast<const char *>(bytes), size});
    for (size_t i = 0; i < kLines; ++i) {
        const std::string line = text.Line(i);
        Check(FirstCharacters(line, kMaxValueLength).size() == line.size());
        if ((i >= kFirstIndexLine && i <= kLastIndexLine) || i >= kLastAddressLine + 1 || i == 8 || i == 9) {
            const auto number = ToInteger(line);
            Check(number ? std::to_string(*number) == std::to_string(std::stoll(line)) : !NotIntegerText(line).empty());
        } else if (i >= kFirstCheckLine && i <= kLastCheckLine) {
            CheckNumber(line);
            Check(ToBoolean(line).has_value() || !NotBooleanText(line).empty());
        } else if (i >= kFirstAddressLine && i <= kLastAddressLine) {
            CheckAddress(line);
        }
    }
    // What a save writes reads back the same.
    std::vector<std::string> values;
    for (size_t i = 0; i < kLines; ++i)
        values.push_back(text.Line(i));
    const SettingsText again = SplitSettingsText(JoinSettingsText(values));
    for (size_t i = 0; i < kLines; ++i)
        Check(again.Line(i) == values[i]);
    return 0;
}
