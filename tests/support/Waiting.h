// Waiting on a condition with a generous deadline, never on a bare sleep.
#pragma once

#include <chrono>
#include <functional>

namespace testing_support {

constexpr auto kDeadline = std::chrono::seconds(15);

// Polls cond until it holds or the deadline passes; answers its last value.
bool WaitFor(const std::function<bool()> &cond, std::chrono::milliseconds deadline = kDeadline);

}  // namespace testing_support
