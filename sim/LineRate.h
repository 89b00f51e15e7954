// The line rate the client set on the slave side, read through the master.
#pragma once

#include <cstdint>

namespace vektasim {

// Answers false when the terminal settings cannot be read.
bool SlaveLineRate(int masterFd, uint32_t &bitsPerSecond);

}  // namespace vektasim
