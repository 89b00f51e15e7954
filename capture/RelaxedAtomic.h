// A value that two threads may touch, with relaxed ordering: each access is
// well defined, and ordering comes from the release/acquire on flags and
// frameCount where it matters.
#pragma once

#include <atomic>

template <class T>
class RelaxedAtomic {
public:
    constexpr RelaxedAtomic() noexcept = default;
    RelaxedAtomic(const RelaxedAtomic &) = delete;

    operator T() const noexcept { return value_.load(std::memory_order_relaxed); }
    RelaxedAtomic &operator=(T value) noexcept
    {
        value_.store(value, std::memory_order_relaxed);
        return *this;
    }
    RelaxedAtomic &operator=(const RelaxedAtomic &other) noexcept { return *this = T(other); }

private:
    std::atomic<T> value_{};
};
