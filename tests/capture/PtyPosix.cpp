#include "Pty.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

namespace testing_support {

Pty::Pty()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master_, 0);
    EXPECT_EQ(grantpt(master_), 0);
    EXPECT_EQ(unlockpt(master_), 0);
    slave_ = ptsname(master_);
    slaveWatch_ = open(slave_.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(slaveWatch_, 0);
}

Pty::~Pty()
{
    if (master_ >= 0)
        close(master_);
    if (slaveWatch_ >= 0)
        close(slaveWatch_);
}

void Pty::Send(const std::string &bytes)
{
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
}

std::string Pty::Receive(size_t size, int waitMs)
{
    std::string got;
    while (got.size() < size) {
        pollfd pfd{master_, POLLIN, 0};
        if (poll(&pfd, 1, waitMs) <= 0)
            break;
        char buf[256];
        const ssize_t n = read(master_, buf, std::min(sizeof buf, size - got.size()));
        if (n <= 0)
            break;
        got.append(buf, size_t(n));
    }
    return got;
}

size_t Pty::Unread() const
{
    int waiting = 0;
    EXPECT_EQ(ioctl(slaveWatch_, FIONREAD, &waiting), 0);
    return static_cast<size_t>(waiting);
}

void Pty::Hangup()
{
    close(master_);
    master_ = -1;
}

}  // namespace testing_support
