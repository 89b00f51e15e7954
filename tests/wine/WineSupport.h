// Helpers of the Windows tests beyond those they share with the POSIX ones:
// Wine itself, and the simulated adapters the script started.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/SimRecord.h"

namespace wine_support {

constexpr uint32_t kAdapterRate = 833333;  // bit/s
// What Wine puts a pseudo-terminal on for a rate without a terminal constant.
constexpr uint32_t kWineFallbackRate = 38400;  // bit/s
// A COM port that no test sets up.
constexpr const char *kMissingPort = "COM199";

// True when the program runs under Wine rather than Windows.
bool UnderWine();
// Prints where Wine was seen to differ from Windows, for the run's summary.
void NoteWineDifference(const std::string &what);

// A simulated adapter on a COM port, with the file where the simulator
// records every message it receives. Both are named by the environment:
// VEKTAMON_TEST_<KIND>_PORT and VEKTAMON_TEST_<KIND>_RECORD.
struct SimulatedAdapter {
    std::string port;
    std::string record;
};
SimulatedAdapter AdapterFromEnvironment(const std::string &kind);

// True inside the driver bench's guest, where the COM ports are real
// converters (VEKTABENCH_TRACE names QEMU's trace of them).
bool OnDriverBench();

// Waits until the capture thread has begun count attempts to open the port
// since the call; false when they did not come in time.
bool WaitForAttempts(size_t count);

}  // namespace wine_support
