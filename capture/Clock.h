// Time services: the millisecond counter, sleeping, the system timer
// resolution and the local date and time.
#pragma once

#include <chrono>
#include <cstdint>

// Milliseconds since an arbitrary start; wraps after about 49.7 days.
uint32_t MillisecondClock();
void SleepFor(std::chrono::milliseconds duration);
// Microseconds since 1970 by the system's wall clock.
uint64_t WallClockMicroseconds();

// Timer periods in units of 100 ns.
struct TimerResolution {
    uint32_t coarsest = 0;
    uint32_t finest = 0;
    uint32_t current = 0;
};
TimerResolution QueryTimerResolution();
// Requests (or with request false releases) a timer period; answers the
// period now in force.
uint32_t SetTimerResolution(uint32_t period100ns, bool request);

struct LocalDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};
LocalDateTime LocalNow();
