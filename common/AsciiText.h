// Letter case of ASCII text, independent of the locale: port names and the
// words of the settings file are ASCII whatever the operator's language.
#pragma once

#include <string_view>

constexpr char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (AsciiLower(text[i]) != AsciiLower(prefix[i]))
            return false;
    return true;
}

// The value of a hexadecimal digit, 0 to 15; -1 for any other character.
constexpr int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    const char lower = AsciiLower(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

constexpr bool EqualsIgnoringCase(std::string_view text, std::string_view word)
{
    return text.size() == word.size() && StartsWithIgnoringCase(text, word);
}
