#include "Clock.h"

#include <atomic>

namespace {
std::atomic<CaptureClock *> clockInPlace{nullptr};

CaptureClock &InPlace()
{
    CaptureClock *clock = clockInPlace.load(std::memory_order_acquire);
    return clock != nullptr ? *clock : SystemClock();
}
}  // namespace

void UseClock(CaptureClock *clock)
{
    clockInPlace.store(clock, std::memory_order_release);
}

uint32_t MillisecondClock()
{
    return InPlace().Milliseconds();
}

void SleepFor(std::chrono::milliseconds duration)
{
    InPlace().Sleep(duration);
}

LocalDateTime LocalNow()
{
    return InPlace().LocalTime();
}
