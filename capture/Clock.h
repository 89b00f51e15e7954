// Time services: the millisecond counter, sleeping, the system timer
// resolution and the local date and time.
#pragma once

#include <chrono>
#include <cstdint>

#include "common/LocalDateTime.h"

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

// The time the capture reads: its millisecond counter, its sleeps and the
// local time its log files are named after. The system's in a program; a
// test puts its own in place, so that pauses and file names can be checked
// exactly without waiting on the wall clock.
class CaptureClock {
public:
    virtual ~CaptureClock() = default;
    // Milliseconds since an arbitrary start; wraps after about 49.7 days.
    virtual uint32_t Milliseconds() = 0;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
    virtual LocalDateTime LocalTime() = 0;
};

// The operating system's clock.
CaptureClock &SystemClock();
// Puts clock in place for every later reading (nullptr: the system's); only
// while no capture thread runs.
void UseClock(CaptureClock *clock);

// Microseconds since 1970 by the system's wall clock; never replaced.
uint64_t WallClockMicroseconds();

// Readings of the clock in place.
uint32_t MillisecondClock();
void SleepFor(std::chrono::milliseconds duration);
LocalDateTime LocalNow();
