// The one clock the simulator paces its output by.
#pragma once

#include <chrono>

namespace vektasim {

using Clock = std::chrono::steady_clock;

}  // namespace vektasim
