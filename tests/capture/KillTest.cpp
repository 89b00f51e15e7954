// A capture program killed with SIGKILL at several moments: the next capture
// thread's start recovers every line it logged up to a second before the
// kill, once each and in order; a second start finds nothing more.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>

#include "SimSupport.h"
#include "capture/Unit2.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/CaseNames.h"

extern char **environ;

namespace {

using namespace testing_support;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kRecoveredBefore = std::chrono::seconds(1);
constexpr auto kSamplePace = std::chrono::milliseconds(10);
constexpr std::string_view kRecoveredLine = "Capture ended unexpectedly; log lines recovered";

enum class Moment { Initialisation, Reception, Cut };

struct KillCase {
    const char *name;
    Moment moment;
    std::chrono::milliseconds after;     // from the first command the adapter gets
    std::chrono::milliseconds cutEvery;  // with Moment::Cut
    friend void PrintTo(const KillCase &c, std::ostream *os) { *os << c.name; }
};

// The capture program, running until killed.
class CaptureProgram {
public:
    CaptureProgram(const std::string &folder, const std::string &port, std::chrono::milliseconds cutEvery)
    {
        const std::string cut = std::to_string(cutEvery.count());
        std::string program = VEKTA_CAPTURE_PROGRAM;
        char *argv[] = {program.data(), const_cast<char *>(folder.c_str()), const_cast<char *>(port.c_str()),
                        const_cast<char *>(cut.c_str()), nullptr};
        EXPECT_EQ(::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, environ), 0);
    }
    ~CaptureProgram() { Kill(); }
    void Kill()
    {
        if (pid_ <= 0)
            return;
        EXPECT_EQ(::kill(pid_, SIGKILL), 0);
        int status = 0;
        EXPECT_EQ(::waitpid(pid_, &status, 0), pid_);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

// What the adapter had done by a moment: frames sent, commands received.
struct Sample {
    Clock::time_point at;
    uint64_t framesSent = 0;
    size_t commands = 0;
};

class Kill : public ::testing::TestWithParam<KillCase> {
protected:
    TempDir dir;
};

uint64_t worstLinesLost = 0;

TEST_P(Kill, NextStartRecoversEveryLineUpToASecondBeforeOnceAndInOrder)
{
    const KillCase &c = GetParam();
    vektasim::Options options = c.moment == Moment::Initialisation ? Quiet() : vektasim::Options();
    if (c.moment == Moment::Initialisation) {
        options.answerCommands = false;  // the initialisation fails and starts over, logging as it goes
    } else {
        options.traffic = vektasim::Traffic::Flood;
        options.throttle = true;  // line rate
    }
    auto sim = StartSimulator(options);
    CaptureProgram program(dir.logPath(), sim->PortPath(), c.cutEvery);
    ASSERT_TRUE(WaitFor([&] { return !sim->Received().empty(); }));
    std::deque<Sample> samples;
    const auto killAt = Clock::now() + c.after;
    while (Clock::now() < killAt) {
        samples.push_back({Clock::now(), sim->FramesSent(), sim->Received().size()});
        std::this_thread::sleep_for(kSamplePace);  // sampling the adapter's progress, not waiting on it
    }
    const uint64_t sentAtKill = sim->FramesSent();
    program.Kill();
    const auto second = std::find_if(samples.rbegin(), samples.rend(),
                                     [&](const Sample &s) { return s.at <= killAt - kRecoveredBefore; });
    ASSERT_NE(second, samples.rend());
    sim.reset();

    // The next start: a capture thread that runs nothing.
    PrepareControl(CaptureControl, dir, "ttyNONE");
    {
        CaptureThread thread;
    }
    const auto files = dir.LogFiles();
    ASSERT_FALSE(files.empty());
    const auto messages = AllLogMessages(dir);
    const size_t recovered = CountOf(messages, std::string(kRecoveredLine));
    // A kill right after a cut may find the journal still empty; it then costs
    // only the lines since the cut.
    EXPECT_TRUE(recovered == 1 || (c.moment == Moment::Cut && recovered == 0)) << recovered;
    if (recovered == 1) {
        const auto lines = LogLines(ReadFile(files.back()));
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.back().message, kRecoveredLine);
        EXPECT_EQ(lines.back().stampMs, lines[lines.size() - 2].stampMs);
        for (size_t i = 1; i < lines.size(); ++i)
            if (lines[i].message.rfind("Continue ", 0) != 0) {
                EXPECT_GE(lines[i].stampMs, lines[i - 1].stampMs) << lines[i].message;
            }
    }
    if (c.moment == Moment::Initialisation) {
        // Every command the adapter's record holds was logged as sent.
        const auto sent = std::count_if(messages.begin(), messages.end(),
                                        [](const std::string &m) { return m.rfind("TxD: ", 0) == 0; });
        EXPECT_GE(static_cast<size_t>(sent), second->commands);
    } else {
        uint64_t next = 0;
        for (const auto &m : messages) {
            if (IsCanLine(m)) {
                ASSERT_EQ(FloodSequence(m, options.floodIds), next++) << m;
            }
        }
        EXPECT_GE(next, second->framesSent);
        worstLinesLost = std::max(worstLinesLost, sentAtKill - next);
        std::printf("[ FIGURE   ] killed %s: %llu frames sent, %llu logged and recovered, %llu lost\n", c.name,
                    static_cast<unsigned long long>(sentAtKill), static_cast<unsigned long long>(next),
                    static_cast<unsigned long long>(sentAtKill - next));
        std::printf("[ FIGURE   ] worst lines lost on SIGKILL so far: %llu\n",
                    static_cast<unsigned long long>(worstLinesLost));
    }

    // A second start finds nothing more.
    const auto before = AllLogMessages(dir);
    {
        CaptureThread thread;
    }
    EXPECT_EQ(AllLogMessages(dir), before);
    for (const auto &entry : fs::directory_iterator(dir.path()))
        EXPECT_NE(entry.path().extension(), ".journal") << entry.path();
}

INSTANTIATE_TEST_SUITE_P(Moments, Kill,
                         ::testing::Values(KillCase{"initialisation", Moment::Initialisation, 2500ms, 0ms},
                                           KillCase{"reception_early", Moment::Reception, 1300ms, 0ms},
                                           KillCase{"reception", Moment::Reception, 3700ms, 0ms},
                                           KillCase{"between_quick_cuts", Moment::Cut, 3100ms, 150ms},
                                           KillCase{"a_second_after_a_cut", Moment::Cut, 4450ms, 1300ms},
                                           KillCase{"at_a_cut", Moment::Cut, 3910ms, 1300ms}),
                         CaseName());

}  // namespace
