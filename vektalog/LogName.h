// The moment a capture log was written, read from its name DDMMYY_hhmmss.log.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vektalog {

// Seconds since 1970 of the local date and time the name gives (this
// machine's time zone), or nothing when the file name (a path's last part)
// is not a capture log's name of a real local time.
std::optional<int64_t> LogNameTime(std::string_view path);

}  // namespace vektalog
