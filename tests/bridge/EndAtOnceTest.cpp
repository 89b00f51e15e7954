// A second end signal while the first one's end waits on a log folder that
// no longer answers (frozen, as a hard-mounted network folder stuck): the
// program ends at once, and the journal keeps the lines for the next start.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <optional>

#include "BridgeProcess.h"
#include "FrozenDisk.h"
#include "capture/logstore/Journal.h"
#include "sim/Simulator.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/Waiting.h"

namespace {

using namespace bridge_test;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WaitFor;
namespace fs = std::filesystem;

// The journal, once it holds received frames: what the end at once must keep.
std::optional<fs::path> JournalWithFramesIn(const fs::path &folder)
{
    for (const auto &entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".journal" && ReadFile(entry.path()).find("RxD(CAN): ") != std::string::npos)
            return entry.path();
    return std::nullopt;
}

class EndAtOnceTest : public ::testing::TestWithParam<int> {};

TEST_P(EndAtOnceTest, SecondSignalEndsAtOnceWhileTheFirstWaitsOnAFrozenLogFolder)
{
    const int signalNumber = GetParam();
    const std::string name = std::string("SIG") + sigabbrev_np(signalNumber);
    const TempDir dir;
    const fs::path logs = dir.path() / "logs";
    std::optional<BridgeProcess> bridge;  // outlives the disk: it is thawed before the program is reaped
    FrozenDisk disk(logs);
    ASSERT_TRUE(disk.Ready()) << "cannot mount a loop file system for the test (it needs root): " << disk.Error();
    vektasim::Options options;
    options.linkPath = (dir.path() / "ttyUSB0").string();
    vektasim::Simulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;
    bridge.emplace(std::vector<std::string>{"--candump", "--can-log", "--log-dir", logs.string(), options.linkPath},
                   dir.path().string());
    std::optional<fs::path> journal;
    ASSERT_TRUE(WaitFor([&] { return (journal = JournalWithFramesIn(logs)).has_value(); })) << bridge->Err();

    ASSERT_TRUE(disk.Freeze()) << disk.Error();
    bridge->Signal(signalNumber);
    ASSERT_TRUE(WaitFor([&] { return bridge->Err().find(name + ": stopping") != std::string::npos; })) << bridge->Err();
    // The run's log cannot be written now: the end waits for the disk.
    bridge->Signal(signalNumber);
    const bool endedAtOnce =
        WaitFor([&] { return bridge->Err().find(name + " again: ending at once") != std::string::npos; });
    disk.Thaw();  // lets the threads held in the file system go with the process
    const auto status = bridge->WaitStatus();
    ASSERT_TRUE(endedAtOnce) << bridge->Err();
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFSIGNALED(*status)) << "exit status " << WEXITSTATUS(*status);
    EXPECT_EQ(WTERMSIG(*status), signalNumber);

    // The journal stays (a normal end removes it), and the next start recovers it.
    ASSERT_TRUE(fs::exists(*journal));
    const std::string kept = ReadFile(*journal);
    ASSERT_NE(kept.find("RxD(CAN): "), std::string::npos) << kept;
    ASSERT_EQ(RecoverJournals(logs.string() + "/"), 0u);
    EXPECT_FALSE(fs::exists(*journal));
    bool recovered = false;
    for (const auto &entry : fs::directory_iterator(logs))
        if (entry.path().extension() == ".log")
            recovered = recovered || ReadFile(entry.path()).find("Capture ended unexpectedly") != std::string::npos;
    EXPECT_TRUE(recovered);
}

INSTANTIATE_TEST_SUITE_P(Signals, EndAtOnceTest, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto &info) { return std::string("SIG") + sigabbrev_np(info.param); });

}  // namespace
