// Plays an adapter on a pseudo-terminal until SIGINT or SIGTERM, for trying
// the capture program by hand and for benchmarks. SIGUSR1 cuts the
// adapter's power for a moment; SIGUSR2 prints the frames sent so far.
#include <signal.h>
#include <time.h>

#include <cerrno>
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
           sigaddset(&signals, SIGUSR1) == 0 && sigaddset(&signals, SIGUSR2) == 0 &&
           pthread_sigmask(SIG_BLOCK, &signals, nullptr) == 0;
}

// How often received messages are copied to the record file.
constexpr timespec kRecordPoll{0, 20 * 1000 * 1000};

// Writes the messages received since the last call, one line each, flushed
// at once so that a reader never waits for a buffer to fill.
bool RecordNewMessages(const vektasim::Simulator &simulator, std::FILE *record, size_t &written)
{
    const auto received = simulator.Received();
    for (; written < received.size(); ++written) {
        if (std::fprintf(record, "%u", received[written].lineRate) < 0)
            return false;
        for (const uint8_t byte : received[written].bytes)
            if (std::fprintf(record, " %02X", byte) < 0)
                return false;
        if (std::fputc('\n', record) == EOF)
            return false;
    }
    return std::fflush(record) == 0;
}

// Waits for SIGINT or SIGTERM, recording meanwhile when a file is given,
// cutting the power at each SIGUSR1 and telling the frames sent at each SIGUSR2.
void RunUntilStopped(vektasim::Simulator &simulator, const sigset_t &signals, std::FILE *record)
{
    size_t written = 0;
    for (;;) {
        const int signal =
            record != nullptr ? sigtimedwait(&signals, nullptr, &kRecordPoll) : sigwaitinfo(&signals, nullptr);
        const int waitError = errno;
        if (record != nullptr && !RecordNewMessages(simulator, record, written)) {
            std::fprintf(stderr, "vektasim: cannot write the record: %s\n", std::strerror(errno));
            record = nullptr;
        }
        if (signal == SIGUSR1) {
            // Told on the output, so that whoever pulls the converter next
            // knows the line has gone quiet first.
            if (simulator.CutPower())
                std::printf("power cut\n");
            else
                std::fprintf(stderr, "vektasim: the power cut was not taken within a second\n");
            std::fflush(stdout);
            continue;
        }
        if (signal == SIGUSR2) {
            std::printf("frames sent %llu\n", static_cast<unsigned long long>(simulator.FramesSent()));
            std::fflush(stdout);
            continue;
        }
        if (signal > 0)
            return;
        if (waitError != EAGAIN && waitError != EINTR) {
            std::fprintf(stderr, "vektasim: waiting for a signal failed: %s\n", std::strerror(waitError));
            return;
        }
    }
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
    std::FILE *record = nullptr;
    if (!line.recordPath.empty() && (record = std::fopen(line.recordPath.c_str(), "w")) == nullptr) {
        std::fprintf(stderr, "vektasim: cannot create %s: %s\n", line.recordPath.c_str(), std::strerror(errno));
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
    RunUntilStopped(simulator, signals, record);
    simulator.Stop();
    if (record != nullptr && std::fclose(record) != 0)
        std::fprintf(stderr, "vektasim: cannot close the record: %s\n", std::strerror(errno));
    std::fprintf(stderr, "vektasim: %llu frames sent\n", static_cast<unsigned long long>(simulator.FramesSent()));
    return 0;
}
