// Readings shared by the soak test and the benchmarks: the process's memory
// and the frames the identifier table has counted.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "capture/Unit2.h"

namespace testing_support {

// A size the kernel reports for this process in /proc/self/status, in bytes.
inline long StatusBytes(const std::string &field)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == field) {
            long kb = 0;
            status >> kb;
            return kb * 1024;
        }
        status.ignore(1 << 10, '\n');
    }
    return 0;
}

inline long ResidentBytes()
{
    return StatusBytes("VmRSS:");
}

// The most the process has held resident (since start or a reset of the peak).
inline long PeakResidentBytes()
{
    return StatusBytes("VmHWM:");
}

inline uint64_t TabledFrames()
{
    uint64_t total = 0;
    const uint16_t rows = CaptureControl.frameCount.load(std::memory_order_acquire);
    for (uint16_t i = 0; i < rows; ++i)
        total += CaptureControl.frames[i].count;
    return total;
}

}  // namespace testing_support
