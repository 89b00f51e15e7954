#include "TokenBucket.h"

#include <algorithm>

namespace vektasim {

namespace {

constexpr int64_t kUnitsPerByte = 1000000000;  // nanoseconds in a second
// Longer gaps than this fill the bucket anyway; the cap keeps the product small.
constexpr int64_t kMaxRefillNs = 10 * kUnitsPerByte;

}  // namespace

TokenBucket::TokenBucket(uint32_t bytesPerSecond, size_t burstBytes, Clock::time_point now)
    : rate_(bytesPerSecond), capacity_(static_cast<int64_t>(burstBytes) * kUnitsPerByte), credit_(capacity_), last_(now)
{
}

size_t TokenBucket::Available(Clock::time_point now)
{
    if (now > last_) {
        const int64_t elapsedNs =
            std::min<int64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now - last_).count(), kMaxRefillNs);
        credit_ = std::min(capacity_, credit_ + elapsedNs * rate_);
        last_ = now;
    }
    return credit_ > 0 ? static_cast<size_t>(credit_ / kUnitsPerByte) : 0;
}

void TokenBucket::Take(size_t bytes)
{
    credit_ -= static_cast<int64_t>(bytes) * kUnitsPerByte;
}

Clock::duration TokenBucket::UntilAvailable(size_t bytes) const
{
    const int64_t missing = static_cast<int64_t>(bytes) * kUnitsPerByte - credit_;
    if (missing <= 0)
        return Clock::duration::zero();
    const int64_t ns = (missing + rate_ - 1) / rate_;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(ns));
}

}  // namespace vektasim
