// Waiting for a child process with a bound, so that a program that never
// ends fails its test instead of hanging the suite.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>

namespace testing_support {

// The child's wait status once it has ended within deadline; otherwise it is
// killed and reaped, and the answer is empty.
std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds deadline);

}  // namespace testing_support
