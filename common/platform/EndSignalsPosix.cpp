// The self-pipe for the end signals: the handler only writes the signal's
// number to one end of a socket pair, which is all a handler may safely do.
#include "common/EndSignals.h"

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace {

// The exit status a shell shows for a program ended by a signal.
constexpr int kSignalledStatusBase = 128;

int writeEnd = -1;  // written once, before any handler is installed
int readEnd = -1;

void OnEndSignal(int signalNumber)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // A full pair already holds a wake-up; the byte may go.
    const ssize_t written = ::write(writeEnd, &byte, 1);
    static_cast<void>(written);
    errno = savedErrno;
}

}  // namespace

int WatchEndSignals(uint32_t &error)
{
    error = 0;
    if (readEnd >= 0)
        return readEnd;
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0) {
        error = static_cast<uint32_t>(errno);
        return -1;
    }
    writeEnd = pair[0];
    readEnd = pair[1];
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : {SIGTERM, SIGHUP, SIGINT}) {
        if (::sigaction(signalNumber, &action, nullptr) != 0) {
            error = static_cast<uint32_t>(errno);
            return -1;
        }
    }
    return readEnd;
}

void EndAtOnce(int signalNumber)
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigset_t only{};
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    // Should the default action not end us (it does for the end signals), exit.
    if (::sigaction(signalNumber, &action, nullptr) == 0 && ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr) == 0)
        static_cast<void>(::raise(signalNumber));
    ::_exit(kSignalledStatusBase + signalNumber);
}

int TakeEndSignals(int fd)
{
    int last = 0;
    unsigned char bytes[16];
    ssize_t n = 0;
    while ((n = ::read(fd, bytes, sizeof bytes)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0)
            last = bytes[n - 1];
    }
    return last;
}
