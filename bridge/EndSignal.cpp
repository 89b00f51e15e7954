#include "EndSignal.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace vektacand {

EndSignal::~EndSignal()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool EndSignal::Install(std::string &error)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    // A reader that goes away shows as EPIPE on the write, not as a signal.
    if (std::signal(SIGPIPE, SIG_IGN) == SIG_ERR) {
        error = std::string("cannot set up signal handling: ") + std::strerror(errno);
        return false;
    }
    if (const int failure = ::pthread_sigmask(SIG_BLOCK, &set, nullptr)) {
        error = std::string("cannot set up signal handling: ") + std::strerror(failure);
        return false;
    }
    fd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd_ < 0) {
        error = std::string("cannot set up signal handling: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool EndSignal::Wait(std::chrono::milliseconds timeout, std::string &signalName)
{
    pollfd in{fd_, POLLIN, 0};
    if (::poll(&in, 1, int(timeout.count())) <= 0)
        return false;
    signalfd_siginfo info{};
    if (::read(fd_, &info, sizeof info) != ssize_t(sizeof info))
        return false;
    signalName = info.ssi_signo == SIGINT ? "SIGINT" : "SIGTERM";
    return true;
}

}  // namespace vektacand
