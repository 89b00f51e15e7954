#include "FailingAllocation.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<size_t> failingSize{0};
std::atomic<int> passesLeft{0};
}  // namespace

namespace testing_support {

void FailArrayAllocation(size_t bytes, int passes)
{
    passesLeft.store(passes);
    failingSize.store(bytes);
}

}  // namespace testing_support

void *operator new[](std::size_t size)
{
    if (size == failingSize.load() && passesLeft.fetch_sub(1) == 0) {
        failingSize.store(0);
        throw std::bad_alloc();
    }
    if (void *p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return operator new[](size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

void operator delete[](void *p) noexcept
{
    std::free(p);
}

void operator delete[](void *p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}
