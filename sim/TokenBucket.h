// Paces output to a byte rate: credit grows with time up to a small burst.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Clock.h"

namespace vektasim {

class TokenBucket {
public:
    TokenBucket(uint32_t bytesPerSecond, size_t burstBytes, Clock::time_point now);

    // Whole bytes that may go out at now.
    size_t Available(Clock::time_point now);
    void Take(size_t bytes);
    // How long after the last Available call size bytes will be allowed.
    Clock::duration UntilAvailable(size_t bytes) const;

private:
    // Credit is counted in bytes times 1e9, so that a nanosecond of time
    // adds exactly bytesPerSecond units.
    int64_t rate_;
    int64_t capacity_;
    int64_t credit_;
    Clock::time_point last_;
};

}  // namespace vektasim
