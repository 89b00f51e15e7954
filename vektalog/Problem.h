// What is wrong with the input, and where: reported, never thrown.
#pragma once

#include <cstddef>
#include <string>

namespace vektalog {

struct Problem {
    std::string file;  // a path, or "standard output"
    size_t line = 0;   // 1-based; 0 when the whole file is meant
    std::string text;

    // "FILE:LINE: text", or "FILE: text" without a line.
    std::string Message() const;
};

}  // namespace vektalog
