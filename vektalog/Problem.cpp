#include "Problem.h"

namespace vektalog {

std::string Problem::Message() const
{
    // Appended piece by piece: GCC 12 misreads operator+ on a short literal
    // as an overlapping copy.
    std::string message = file;
    if (line != 0)
        message.append(":").append(std::to_string(line));
    return message.append(": ").append(text);
}

}  // namespace vektalog
