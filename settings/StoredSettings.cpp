#include "StoredSettings.h"

namespace {

// Line numbers (from 0) of the settings file.
namespace Line {
constexpr size_t kPort = 0;
constexpr size_t kFirstIndex = 1;
constexpr size_t kFirstCheck = 6;
constexpr size_t kFirstNumber = 8;
constexpr size_t kFirstText = 10;
constexpr size_t kFirstPlacement = 18;
}  // namespace Line

template <size_t N>
std::optional<std::string> ReadIntegers(const SettingsText &text, size_t first,
                                        std::array<std::optional<int32_t>, N> &values)
{
    for (size_t i = 0; i < N; ++i) {
        const std::string line = text.Line(first + i);
        values[i] = ToInteger(line);
        if (!values[i])
            return NotIntegerText(line);
    }
    return std::nullopt;
}

std::optional<std::string> ReadChecks(const SettingsText &text, StoredSettings &stored)
{
    for (size_t i = 0; i < stored.checks.size(); ++i) {
        const std::string line = text.Line(Line::kFirstCheck + i);
        stored.checks[i] = ToBoolean(line);
        if (!stored.checks[i])
            return NotBooleanText(line);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadStoredSettings(const SettingsText &text, StoredSettings &stored)
{
    stored = {};
    stored.port = text.Line(Line::kPort);
    if (auto failure = ReadIntegers(text, Line::kFirstIndex, stored.indexes))
        return failure;
    if (auto failure = ReadChecks(text, stored))
        return failure;
    if (auto failure = ReadIntegers(text, Line::kFirstNumber, stored.numbers))
        return failure;
    for (size_t i = 0; i < stored.texts.size(); ++i)
        stored.texts[i] = text.Line(Line::kFirstText + i);
    return ReadIntegers(text, Line::kFirstPlacement, stored.placement);
}
