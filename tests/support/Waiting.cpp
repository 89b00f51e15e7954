#include "Waiting.h"

#include <thread>

namespace testing_support {

namespace {
constexpr auto kPollStep = std::chrono::milliseconds(2);
}

bool WaitFor(const std::function<bool()> &cond, std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return cond();
        std::this_thread::sleep_for(kPollStep);
    }
    return true;
}

}  // namespace testing_support
