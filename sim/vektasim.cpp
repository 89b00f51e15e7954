// Plays an adapter on a pseudo-terminal until SIGINT or SIGTERM, for trying
// the capture program by hand and for benchmarks.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Simulator.h"

namespace {

constexpr int kUsageError = 2;

// Blocked before any thread starts, so that only sigwait sees them.
bool BlockStopSignals(sigset_t &signals)
{
    return sigemptyset(&signals) == 0 && sigaddset(&signals, SIGINT) == 0 && sigaddset(&signals, SIGTERM) == 0 &&
           pthread_sigmask(SIG_BLOCK, &signals, nullptr) == 0;
}

}  // namespace

int main(int argc, char **argv)
{
    vektasim::CommandLine line;
    std::string error;
    if (!vektasim::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), line, error)) {
        std::fprintf(stderr, "vektasim: %s\n%s", error.c_str(), vektasim::Usage().c_str());
        return kUsageError;
    }
    if (line.help) {
        std::fputs(vektasim::Usage().c_str(), stdout);
        return 0;
    }
    sigset_t signals;
    if (!BlockStopSignals(signals)) {
        std::fprintf(stderr, "vektasim: cannot block signals: %s\n", std::strerror(errno));
        return 1;
    }
    vektasim::Simulator simulator(line.options);
    if (!simulator.Start(error)) {
        std::fprintf(stderr, "vektasim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", simulator.SlavePath().c_str());
    if (!line.options.linkPath.empty())
        std::printf("%s\n", line.options.linkPath.c_str());
    std::fflush(stdout);
    int received = 0;
    if (sigwait(&signals, &received) != 0)
        std::fprintf(stderr, "vektasim: sigwait failed\n");
    simulator.Stop();
    std::fprintf(stderr, "vektasim: %llu frames sent\n", static_cast<unsigned long long>(simulator.FramesSent()));
    return 0;
}
