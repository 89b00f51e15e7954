// A capture whose log folder runs full, ended while it stays full: by the
// window's close, by SIGTERM, by SIGKILL. The journal, then the only durable
// copy of its lines, is never emptied; once space is back, the next start
// writes out everything the folder held, each line once and in order.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "ProgramRun.h"
#include "SimSupport.h"
#include "Tmpfs.h"
#include "capture/Unit2.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/CaseNames.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

enum class End { Close, Terminate, Kill };

struct FullEndCase {
    const char *name;
    End end;
    friend void PrintTo(const FullEndCase &c, std::ostream *os) { *os << c.name; }
};

class FullDiskEnd : public ::testing::TestWithParam<FullEndCase> {
protected:
    TempDir logs;  // the tmpfs goes on it, and comes off before it is removed
};

TEST_P(FullDiskEnd, KeepsEveryLineTheDiskHeldForTheNextStart)
{
    constexpr uint64_t kRoomLeft = 64 << 10;  // about a fifth of a second of lines at line rate
    constexpr uint64_t kPageBytes = 4096;
    constexpr uint64_t kFramesOnlyInMemory = 2000;
    constexpr auto kCutEvery = 300ms;
    const FullEndCase &c = GetParam();
    Tmpfs disk(logs.path(), "4m");
    ASSERT_TRUE(disk.FillLeaving(kRoomLeft));

    vektasim::Options options;
    options.traffic = vektasim::Traffic::Flood;
    options.throttle = true;  // line rate
    auto sim = StartSimulator(options);
    std::unique_ptr<CaptureThread> thread;
    std::unique_ptr<CaptureProgram> program;
    if (c.end == End::Close) {
        PrepareControl(CaptureControl, logs, sim->PortPath());
        thread = std::make_unique<CaptureThread>();
        thread->Start();  // no cut: the close's own write meets the full disk
    } else {
        program = std::make_unique<CaptureProgram>(logs.logPath(), sim->PortPath(), kCutEvery);
    }
    // The journal takes the room left; from then on new lines live in memory only.
    ASSERT_TRUE(WaitFor([&] { return disk.FreeBytes() < kPageBytes; }));
    const uint64_t sentWhenFull = sim->FramesSent();
    ASSERT_TRUE(WaitFor([&] { return sim->FramesSent() > sentWhenFull + kFramesOnlyInMemory; }));

    std::vector<std::string> held;
    switch (c.end) {
    case End::Close:
        thread->Stop();
        EXPECT_TRUE(thread->End());
        break;
    case End::Terminate: program->Terminate(); break;
    case End::Kill:
        program->Freeze();
        held = HeldMessages(logs);
        program->Kill();
        break;
    }
    const uint64_t sent = sim->FramesSent();
    sim.reset();
    if (c.end != End::Kill)
        held = HeldMessages(logs);
    ASSERT_FALSE(held.empty());

    // Space is back: the next start recovers what the folder held.
    ASSERT_TRUE(disk.RemoveBallast());
    PrepareControl(CaptureControl, logs, "ttyNONE");
    {
        CaptureThread next;
    }
    auto messages = AllLogMessages(logs);
    std::erase(messages, std::string(kRecoveredLine));
    EXPECT_EQ(messages, held) << "the logs after recovery differ from what the folder held";
    uint64_t next = 0;
    for (const auto &m : messages) {
        if (IsCanLine(m)) {
            ASSERT_EQ(FloodSequence(m, options.floodIds), next++) << m;
        }
    }
    EXPECT_GT(next, 0u) << "the journal's lines are gone";
    for (const auto &entry : fs::directory_iterator(logs.path()))
        EXPECT_NE(entry.path().extension(), ".journal") << entry.path();
    std::printf("[ FIGURE   ] disk full, %s: %llu frames sent, %llu logged once space was back\n", c.name,
                static_cast<unsigned long long>(sent), static_cast<unsigned long long>(next));
}

INSTANTIATE_TEST_SUITE_P(Ends, FullDiskEnd,
                         ::testing::Values(FullEndCase{"close", End::Close}, FullEndCase{"sigterm", End::Terminate},
                                           FullEndCase{"sigkill", End::Kill}),
                         CaseName());

}  // namespace
