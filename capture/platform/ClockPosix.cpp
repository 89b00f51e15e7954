// Time services on Linux: the monotonic clock, and the kernel's fixed timer
// resolution standing in for an adjustable system timer.
#include "capture/Clock.h"

#include <time.h>

#include <thread>

namespace {
constexpr uint64_t kNsPerMs = 1000000;
constexpr uint64_t kNsPer100ns = 100;

uint32_t FixedPeriod100ns()
{
    timespec res{};
    if (clock_getres(CLOCK_MONOTONIC, &res) != 0)
        return 0;
    const uint64_t ns = uint64_t(res.tv_sec) * 1000000000u + uint64_t(res.tv_nsec);
    // A period finer than 100 ns still reads as one unit.
    return static_cast<uint32_t>(ns < kNsPer100ns ? 1 : ns / kNsPer100ns);
}
}  // namespace

uint64_t WallClockMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);  // cannot fail for this clock
    return uint64_t(now.tv_sec) * 1000000u + uint64_t(now.tv_nsec) / 1000u;
}

TimerResolution QueryTimerResolution()
{
    const uint32_t period = FixedPeriod100ns();
    return {period, period, period};
}

uint32_t SetTimerResolution(uint32_t, bool)
{
    return FixedPeriod100ns();
}

class PosixClock final : public CaptureClock {
public:
    uint32_t Milliseconds() override
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);  // cannot fail for this clock
        const uint64_t ms = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / kNsPerMs;
        return static_cast<uint32_t>(ms);  // wraps like the millisecond counter it stands for
    }

    void Sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }

    LocalDateTime LocalTime() override
    {
        const time_t now = time(nullptr);
        tm local{};
        if (localtime_r(&now, &local) == nullptr)
            return {};
        return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
    }
};

CaptureClock &SystemClock()
{
    static PosixClock clock;
    return clock;
}
