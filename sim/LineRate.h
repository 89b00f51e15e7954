// The line rate the client set on the slave side, read through the master.
#pragma once

#include <cstdint>

namespace vektasim {

// In bit/s; 0 when the terminal settings cannot be read.
uint32_t SlaveLineRate(int masterFd);

}  // namespace vektasim
