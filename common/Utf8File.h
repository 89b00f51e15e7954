// Files named by the program's UTF-8 text. On Windows a narrow name goes
// through the ANSI code page, which cannot spell every user's folder, so
// the names reach the wide API.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

inline std::filesystem::path Utf8Path(std::string_view utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// std::fopen for a UTF-8 name; errno says why it failed.
std::FILE *OpenUtf8File(const std::string &path, const char *mode);
