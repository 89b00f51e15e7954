#include "Problem.h"

namespace vektalog {

std::string Problem::Message() const
{
    std::string message = file;
    if (line != 0)
        message += ":" + std::to_string(line);
    return message + ": " + text;
}

}  // namespace vektalog
