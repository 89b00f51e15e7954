// vektacand through its life: a settings file of the window's read the way
// the window reads it, the adapter unplugged and plugged back, a reader that
// stops reading.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "BridgeProcess.h"
#include "sim/Simulator.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/Waiting.h"

namespace {

using namespace testing_support;
using bridge_test::BridgeProcess;

// A file the window wrote: TRILOX, sample point 75, SJW 10, group 1 29-bit,
// "Adapter LOG" on, 250 kbit/s, RTO 500.
TEST(SettingsFileTest, RunsTheWindowsSetUpWithOptionsOnTop)
{
    vektasim::Options options;
    options.kind = vektasim::Kind::Trilox;
    vektasim::Simulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;
    const TempDir dir;
    const std::string settings = (dir.path() / "vektamon.set").string();
    std::ofstream(settings) << "COM7\r\n1\r\n3\r\n1\r\n1\r\n0\r\n-1\r\n0\r\n250000\r\n500\r\n"
                               "18DAF110\r\n000007E8\r\n1FFFFFFF\r\n000007E1\r\n000007E9\r\n000007E2\r\n000007EA\r\n"
                               "00000FFF\r\n274\r\n409\r\n10\r\n20\r\n";
    BridgeProcess bridge(
        {"--settings", settings, "--sjw", "20", "--log-dir", dir.path().string(), "--candump", simulator.PortPath()},
        dir.path().string());
    ASSERT_TRUE(WaitFor([&] { return bridge.OutLines() > 0; })) << bridge.Err();
    bridge.Signal(SIGINT);
    ASSERT_EQ(bridge.WaitExit(), 0) << bridge.Err();
    const std::vector<std::string> log = AllLogMessages(dir);
    EXPECT_TRUE(Contains(log, "Open " + simulator.PortPath() + " Baud=833333(833333) RTO=500"));
    EXPECT_TRUE(Contains(log, "CAN29 CAN11 SPEED=250000b/s SAMP=75% SJW=20%"));
    EXPECT_TRUE(Contains(log, "TxD: 55 03 C3 FD 04 "));  // prescaler 3, SJW code 3, step 3
    EXPECT_TRUE(Contains(log, "--- End Init Adapter ---"));
    EXPECT_NE(bridge.Err().find("SIGINT: stopping"), std::string::npos);
}

TEST(UnplugTest, FramesResumeAfterTheAdapterComesBack)
{
    const TempDir dir;
    vektasim::Options options;
    options.linkPath = (dir.path() / "ttyUSB0").string();
    vektasim::Simulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;
    BridgeProcess bridge({"--candump", "--log-dir", dir.path().string(), options.linkPath}, dir.path().string());
    ASSERT_TRUE(WaitFor([&] { return bridge.OutLines() > 10; })) << bridge.Err();

    simulator.Unplug();
    ASSERT_TRUE(WaitFor([&] { return Occurrences(bridge.Err(), "trying again every 300 ms") == 1; })) << bridge.Err();
    const size_t before = bridge.OutLines();
    ASSERT_TRUE(simulator.Replug(error)) << error;
    ASSERT_TRUE(WaitFor([&] { return Occurrences(bridge.Err(), "receiving") == 2 && bridge.OutLines() > before + 10; }))
        << bridge.Err();
    bridge.Signal(SIGTERM);
    ASSERT_EQ(bridge.WaitExit(), 0) << bridge.Err();
    const std::string err = bridge.Err();
    // Opening, initialising, receiving; closed with the reason, the failed
    // tries while unplugged said once; then the same again.
    EXPECT_NE(err.find("closed " + options.linkPath + ": No such file or directory\nvektacand: trying again"),
              std::string::npos)
        << err;
    EXPECT_EQ(Occurrences(err, "initialising the adapter"), 2u) << err;
    EXPECT_EQ(Occurrences(err, "receiving"), 2u) << err;
    EXPECT_NE(err.find(" forwarded, 0 dropped"), std::string::npos) << err;
}

// Standard output into a pipe nobody reads: the capture goes on, frames are
// dropped and counted, and SIGTERM still ends the run at once.
TEST(SlowReaderTest, DropsAreCountedAndNothingBlocks)
{
    vektasim::Options options;
    options.traffic = vektasim::Traffic::Flood;
    vektasim::Simulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const TempDir dir;
    BridgeProcess bridge({"--candump", "--log-dir", dir.path().string(), simulator.PortPath()}, dir.path().string(),
                         pipeFds[1]);
    ::close(pipeFds[1]);
    ASSERT_TRUE(WaitFor([&] { return bridge.Err().find("standard output: dropping frames") != std::string::npos; },
                        std::chrono::seconds(60)))
        << bridge.Err();
    const uint64_t sentAtDrop = simulator.FramesSent();
    ASSERT_TRUE(WaitFor([&] { return simulator.FramesSent() > sentAtDrop + 10000; })) << "the capture stalled";
    bridge.Signal(SIGTERM);
    ASSERT_EQ(bridge.WaitExit(std::chrono::seconds(15)), 0) << bridge.Err();
    ::close(pipeFds[0]);
    const std::string err = bridge.Err();
    EXPECT_NE(err.find("the reader takes frames slower than they come"), std::string::npos) << err;
    const size_t summary = err.find(" frames received; standard output: ");
    ASSERT_NE(summary, std::string::npos) << err;
    EXPECT_EQ(err.find(" 0 dropped", summary), std::string::npos) << err;
}

// Each of the signals a session's end or an operator sends ends the capture
// as Stop does: the capture log written, the summary said, exit status 0.
class EndSignalTest : public ::testing::TestWithParam<int> {};

TEST_P(EndSignalTest, EndsTheRunWithItsLogAndExitZero)
{
    const TempDir dir;
    vektasim::Options options;
    options.linkPath = (dir.path() / "ttyUSB0").string();
    vektasim::Simulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;
    BridgeProcess bridge({"--candump", "--can-log", "--log-dir", dir.path().string(), options.linkPath},
                         dir.path().string());
    ASSERT_TRUE(WaitFor([&] { return bridge.OutLines() > 10; })) << bridge.Err();
    bridge.Signal(GetParam());
    ASSERT_EQ(bridge.WaitExit(), 0) << bridge.Err();
    const std::string err = bridge.Err();
    EXPECT_NE(err.find(std::string("SIG") + sigabbrev_np(GetParam()) + ": stopping"), std::string::npos) << err;
    EXPECT_NE(err.find(" frames received"), std::string::npos) << err;
    EXPECT_EQ(dir.LogFiles().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Signals, EndSignalTest, ::testing::Values(SIGTERM, SIGHUP, SIGINT),
                         [](const auto &info) { return std::string("SIG") + sigabbrev_np(info.param); });

}  // namespace
