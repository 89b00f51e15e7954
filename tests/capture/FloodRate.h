// The pace at which the capture takes a flood from a TRILOX adapter with
// "CAN LOG" on: measured the same way for the Linux build (tests/capture)
// and, under Wine, for the Windows build (tests/wine), so that one run of the
// test command prints the two side by side.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "Figures.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/Waiting.h"

namespace testing_support {

constexpr uint64_t kFloodRateFrames = 100000;
constexpr uint32_t kFloodRateIds = 500;
// Time enough for the slowest build (the Windows one under Wine, sanitizers).
constexpr auto kFloodRateDeadline = std::chrono::minutes(3);

// Frames a second from the first frame tabled to the last of frames; 0 when
// they did not all arrive.
inline double FloodRate(const TempDir &logs, const std::string &port, uint64_t frames)
{
    constexpr uint8_t kTrilox = 1;  // no modem-line pulse, which Wine cannot give a pseudo-terminal
    PrepareControl(CaptureControl, logs, port);
    CaptureControl.hardware = kTrilox;
    CaptureThread thread;
    thread.Start();
    if (!WaitFor([] { return TabledFrames() > 0; }))
        return 0;
    const uint64_t first = TabledFrames();
    const auto start = std::chrono::steady_clock::now();
    const bool all = WaitFor([frames] { return TabledFrames() == frames; }, kFloodRateDeadline);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    thread.Stop();
    return all && took.count() > 0 ? static_cast<double>(frames - first) / took.count() : 0;
}

}  // namespace testing_support
