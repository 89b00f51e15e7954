// Test printouts, and case names made from them, name the adapter kind.
#pragma once

#include <ostream>

#include "sim/Simulator.h"

namespace vektasim {
inline void PrintTo(Kind kind, std::ostream *out)
{
    *out << (kind == Kind::Trilox ? "TRILOX" : "VEKTA");
}
}  // namespace vektasim
