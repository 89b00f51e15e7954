// A capture clock for tests: time moves only when the capture sleeps or the
// test advances it, so stamps, pauses and file names come out exact and no
// test waits on the wall clock for them.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "capture/Clock.h"

namespace testing_support {

class StepClock final : public CaptureClock {
public:
    // 8 December 2026, 04:30:12 local time, at the first reading.
    static constexpr LocalDateTime kStart{2026, 12, 8, 4, 30, 12};

    uint32_t Milliseconds() override;
    // Moves the time on by the duration at once; gives the processor away for
    // a moment, so that a polling loop does not spin.
    void Sleep(std::chrono::milliseconds duration) override;
    // kStart and the whole seconds passed since.
    LocalDateTime LocalTime() override;

    void Advance(std::chrono::milliseconds duration);

    // From now on a sleep of this length waits, its time already passed,
    // until Release: the test acts while the capture is known to sleep.
    void Hold(std::chrono::milliseconds duration);
    // Whether a held sleep waits now.
    bool Holding() const;
    // Lets the held sleeps go, and holds no more.
    void Release();

private:
    // A counter that never reads 0, which the log takes for "no time base".
    static constexpr uint32_t kFirstReadingMs = 1000000;
    std::atomic<uint32_t> passedMs_{0};

    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::chrono::milliseconds held_{-1};
    int waiting_ = 0;
};

// Puts a step clock in place for the life of the object.
class StepClockInPlace {
public:
    StepClockInPlace() { UseClock(&clock); }
    ~StepClockInPlace()
    {
        clock.Release();
        UseClock(nullptr);
    }
    StepClockInPlace(const StepClockInPlace &) = delete;
    StepClockInPlace &operator=(const StepClockInPlace &) = delete;

    StepClock clock;
};

}  // namespace testing_support
