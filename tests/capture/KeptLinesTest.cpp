// A run whose log could not be written, or that broke off with an exception,
// keeps its lines for the next write: the next run's or the thread's end,
// which leaves out the thread's own end lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "FailingAllocation.h"
#include "Figures.h"
#include "SimSupport.h"
#include "capture/Unit2.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/CaseNames.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

enum class BreakOff { FailedWrite, Exception };
enum class Writer { NextRun, ThreadEnd };

struct KeptCase {
    const char *name;
    BreakOff how;
    Writer writer;

    friend void PrintTo(const KeptCase &c, std::ostream *os) { *os << c.name; }
};

class KeptLines : public ::testing::TestWithParam<KeptCase> {
protected:
    TempDir logs;
};

TEST_P(KeptLines, GoToTheNextWrite)
{
    const KeptCase &c = GetParam();
    constexpr uint64_t kFrames = 40000;  // more than the first block of log text holds
    vektasim::Options options;
    options.traffic = vektasim::Traffic::Flood;
    options.frameLimit = kFrames;
    auto sim = StartSimulator(options);
    PrepareControl(CaptureControl, logs, sim->PortPath());
    CaptureControl.adapterLog = false;
    if (c.how == BreakOff::FailedWrite)
        ASSERT_TRUE(fs::remove(logs.path()));
    else
        FailArrayAllocation(LogBuffer::kBlockBytes, 1);  // the thread's first block passes, the run's next fails

    CaptureThread thread;
    thread.Start();
    if (c.how == BreakOff::FailedWrite) {
        ASSERT_TRUE(WaitFor([] { return TabledFrames() == kFrames; }));
        thread.Stop();
        EXPECT_EQ(CaptureControl.sysError.load(), static_cast<uint32_t>(ENOENT));
        ASSERT_TRUE(fs::create_directory(logs.path()));
    } else {
        ASSERT_TRUE(WaitFor([] { return CaptureControl.runsEnded.load() == 1; }));
        EXPECT_EQ(CaptureControl.sysError.load(), static_cast<uint32_t>(ENOMEM));
        EXPECT_EQ(CaptureControl.flags.load(), FlagWord::kAlive);
        EXPECT_EQ(CaptureControl.state.load(), CaptureState::kIdle);
    }
    EXPECT_TRUE(logs.LogFiles().empty());

    if (c.writer == Writer::NextRun) {
        thread.Start();
        ASSERT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }));
        thread.Stop();
    } else {
        ASSERT_TRUE(thread.End());
    }

    const auto messages = AllLogMessages(logs);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "Open " + sim->PortPath() + " Baud=833333(833333) RTO=1000");
    const auto marker = std::find_if(messages.begin(), messages.end(), [&](const std::string &m) {
        return c.how == BreakOff::FailedWrite ? m.rfind("Log file " + logs.logPath(), 0) == 0
                                              : m == "Cannot allocate memory";
    });
    ASSERT_NE(marker, messages.end());
    ASSERT_NE(marker, messages.begin());
    const auto canLines = static_cast<uint64_t>(std::count_if(messages.begin(), marker, IsCanLine));
    if (c.how == BreakOff::FailedWrite) {
        EXPECT_NE(marker->find(": No such file or directory"), std::string::npos) << *marker;
        // The journal, in the same folder, failed as well, and said so once.
        const auto journalLine = std::find_if(messages.begin(), marker, [](const std::string &m) {
            return m.rfind("Journal file ", 0) == 0 && m.find(": No such file or directory") != std::string::npos;
        });
        ASSERT_NE(journalLine, marker);
        EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                                [](const std::string &m) { return m.rfind("Journal file ", 0) == 0; }),
                  1);
        const auto beforeMarker = journalLine == marker - 1 ? marker - 2 : marker - 1;
        EXPECT_EQ(*beforeMarker, "Close " + sim->PortPath());
        EXPECT_EQ(canLines, kFrames);
    } else {
        EXPECT_TRUE(IsCanLine(*(marker - 1))) << *(marker - 1);
        EXPECT_GT(canLines, 0u);
        EXPECT_LT(canLines, kFrames);
    }
    if (c.writer == Writer::NextRun) {
        ASSERT_NE(marker + 1, messages.end());
        EXPECT_EQ((marker + 1)->rfind("Open " + sim->PortPath(), 0), 0u) << *(marker + 1);
        EXPECT_EQ(messages.back(), "Close " + sim->PortPath());
    } else {
        EXPECT_EQ(marker + 1, messages.end());
    }
    for (const auto &m : messages) {
        EXPECT_EQ(m.find("System Timer"), std::string::npos) << m;
        EXPECT_NE(m.rfind("Continue ", 0), 0u) << m;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, KeptLines,
    ::testing::Values(KeptCase{"failed_write_then_next_run", BreakOff::FailedWrite, Writer::NextRun},
                      KeptCase{"failed_write_then_thread_end", BreakOff::FailedWrite, Writer::ThreadEnd},
                      KeptCase{"exception_then_next_run", BreakOff::Exception, Writer::NextRun},
                      KeptCase{"exception_then_thread_end", BreakOff::Exception, Writer::ThreadEnd}),
    CaseName());

}  // namespace
