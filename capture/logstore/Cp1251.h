// Log texts are stored in code page 1251; the program's texts are UTF-8.
#pragma once

#include <string>
#include <string_view>

bool IsAscii(std::string_view text);

// Converts UTF-8 to code page 1251; characters the code page lacks become '?'.
// ASCII text comes back unchanged.
std::string Utf8ToCp1251(std::string_view utf8);
