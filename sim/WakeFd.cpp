#include "WakeFd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace vektasim {

WakeFd::~WakeFd()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool WakeFd::Open(std::string &error)
{
    if (fd_ >= 0)
        return true;
    fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd_ < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void WakeFd::Signal()
{
    if (fd_ < 0)
        return;  // nothing serves yet
    const uint64_t one = 1;
    // A full counter (EAGAIN) still wakes the poll; nothing else can fail here.
    if (::write(fd_, &one, sizeof one) < 0 && errno != EAGAIN)
        std::abort();
}

void WakeFd::Drain()
{
    uint64_t count = 0;
    if (::read(fd_, &count, sizeof count) < 0 && errno != EAGAIN)
        std::abort();
}

}  // namespace vektasim
