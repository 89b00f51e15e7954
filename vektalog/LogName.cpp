#include "LogName.h"

#include <ctime>

namespace vektalog {

namespace {

constexpr std::string_view kExtension = ".log";
constexpr size_t kNameSize = 13 + kExtension.size();  // DDMMYY_hhmmss.log
constexpr size_t kUnderscoreAt = 6;
constexpr int kCenturyYears = 2000;  // the name keeps the last two digits
constexpr int kTmYearBase = 1900;
#ifdef _WIN32
constexpr std::string_view kSeparators = "/\\";
#else
constexpr std::string_view kSeparators = "/";
#endif

bool TwoDigits(std::string_view text, size_t at, int &value)
{
    const char high = text[at], low = text[at + 1];
    if (high < '0' || high > '9' || low < '0' || low > '9')
        return false;
    value = (high - '0') * 10 + (low - '0');
    return true;
}

std::string_view LastPart(std::string_view path)
{
    const size_t slash = path.find_last_of(kSeparators);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::optional<int64_t> LogNameTime(std::string_view path)
{
    const std::string_view name = LastPart(path);
    if (name.size() != kNameSize || name[kUnderscoreAt] != '_' || !name.ends_with(kExtension))
        return std::nullopt;
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (!TwoDigits(name, 0, day) || !TwoDigits(name, 2, month) || !TwoDigits(name, 4, year) ||
        !TwoDigits(name, 7, hour) || !TwoDigits(name, 9, minute) || !TwoDigits(name, 11, second))
        return std::nullopt;
    std::tm local{};
    local.tm_year = kCenturyYears + year - kTmYearBase;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;  // the zone's rules say whether summer time applied
    const std::time_t seconds = std::mktime(&local);
    // mktime moves a date that does not exist (31 April, a skipped hour) on;
    // such a name was not written by the capture.
    if (seconds == static_cast<std::time_t>(-1) || local.tm_mday != day || local.tm_mon != month - 1 ||
        local.tm_hour != hour || local.tm_min != minute || local.tm_sec != second)
        return std::nullopt;
    return static_cast<int64_t>(seconds);
}

}  // namespace vektalog
