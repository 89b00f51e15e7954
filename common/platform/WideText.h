// Conversions between the program's UTF-8 text and the wide text of the
// Windows API.
#pragma once

#include <string>
#include <string_view>

// Both answer an empty string for empty input or text that does not convert.
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
