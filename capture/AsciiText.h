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

constexpr bool EqualsIgnoringCase(std::string_view text, std::string_view word)
{
    return text.size() == word.size() && StartsWithIgnoringCase(text, word);
}
