// A capture program killed with SIGKILL at several moments: the next capture
// thread's start recovers exactly what its logs and journal held at the
// kill, once each and in order; a second start finds nothing more. How much
// of the adapter's output that is, is a figure.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "ProgramRun.h"
#include "SimSupport.h"
#include "capture/Unit2.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/CaseNames.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr double kLineRateFramesPerSecond = 5952;  // 14-byte messages at 833333 bit/s

enum class Moment { Initialisation, Reception, Cut };

struct KillCase {
    const char *name;
    Moment moment;
    std::chrono::milliseconds after;     // from the first command the adapter gets
    std::chrono::milliseconds cutEvery;  // with Moment::Cut
    friend void PrintTo(const KillCase &c, std::ostream *os) { *os << c.name; }
};

size_t CountIf(const std::vector<std::string> &lines, bool (*which)(const std::string &))
{
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), which));
}

bool IsCommandLine(const std::string &message)
{
    return message.rfind("TxD: ", 0) == 0;
}

class Kill : public ::testing::TestWithParam<KillCase> {
protected:
    TempDir dir;
};

double worstSecondsLost = 0;

TEST_P(Kill, NextStartRecoversWhatTheLogsAndJournalHeldOnceAndInOrder)
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
    // The moment of the kill, counted from the first command; what happens
    // by then varies with the machine's load, and the checks below hold for
    // any of it.
    std::this_thread::sleep_for(c.after);
    program.Freeze();
    const uint64_t sentAtKill = sim->FramesSent();
    const auto held = HeldMessages(dir);
    program.Kill();
    sim.reset();

    // The next start: a capture thread that runs nothing.
    PrepareControl(CaptureControl, dir, "ttyNONE");
    {
        CaptureThread thread;
    }
    const auto messages = AllLogMessages(dir);
    const size_t recovered = CountOf(messages, std::string(kRecoveredLine));
    EXPECT_LE(recovered, 1u);
    if (recovered == 1) {
        const auto files = dir.LogFiles();
        const auto lines = LogLines(ReadFile(files.back()));
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.back().message, kRecoveredLine);
        EXPECT_EQ(lines.back().stampMs, lines[lines.size() - 2].stampMs);
        for (size_t i = 1; i < lines.size(); ++i)
            if (lines[i].message.rfind("Continue ", 0) != 0) {
                EXPECT_GE(lines[i].stampMs, lines[i - 1].stampMs) << lines[i].message;
            }
    }
    std::vector<std::string> withoutMark = messages;
    std::erase(withoutMark, std::string(kRecoveredLine));
    EXPECT_EQ(withoutMark, held) << "the logs after recovery differ from what the logs and the journal held";
    if (c.moment == Moment::Initialisation) {
        EXPECT_GT(CountIf(messages, IsCommandLine), 0u);
    } else {
        uint64_t next = 0;
        for (const auto &m : messages) {
            if (IsCanLine(m)) {
                ASSERT_EQ(FloodSequence(m, options.floodIds), next++) << m;
            }
        }
        const double secondsLost = static_cast<double>(sentAtKill - next) / kLineRateFramesPerSecond;
        worstSecondsLost = std::max(worstSecondsLost, secondsLost);
        std::printf("[ FIGURE   ] killed %s: %llu frames sent, %llu logged and recovered, %llu lost (%.2f s)\n", c.name,
                    static_cast<unsigned long long>(sentAtKill), static_cast<unsigned long long>(next),
                    static_cast<unsigned long long>(sentAtKill - next), secondsLost);
        std::printf("[ FIGURE   ] worst loss on SIGKILL so far: %.2f s of line rate\n", worstSecondsLost);
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
