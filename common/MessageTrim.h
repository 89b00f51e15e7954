// System message texts end in blanks, line ends and full stops that have no
// place after a "/" in the window or in a log line.
#pragma once

#include <string>

inline std::string TrimMessageEnd(std::string text)
{
    while (!text.empty()) {
        const auto last = static_cast<unsigned char>(text.back());
        if (last > ' ' && last != '.')
            break;
        text.pop_back();
    }
    return text;
}
