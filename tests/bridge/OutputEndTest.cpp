// Standard output's ends: a reader that goes away ends the run as a signal
// would, with exit status 3, also on a quiet bus; a file that takes no more
// costs lines, counted and said once, and the lines come again once it
// takes them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <sstream>

#include "BridgeProcess.h"
#include "sim/Simulator.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/Waiting.h"

extern char **environ;

namespace {

using namespace testing_support;
using bridge_test::BridgeProcess;

// Only a guard against a hang: the run is expected to end long before.
constexpr auto kHangGuard = std::chrono::seconds(60);
constexpr int kReaderGone = 3;
constexpr size_t kHeadLines = 5;
constexpr uint64_t kQuietFrames = 20;
// The file the candump lines go to takes this much, then no more.
constexpr rlim_t kFileLimitBytes = 256 * 1024;

struct Pipe {
    int fds[2] = {-1, -1};
    // Close-on-exec, so that no child holds an end it was not given.
    Pipe() { EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0); }
    ~Pipe() { CloseRead(), CloseWrite(); }
    void CloseRead() { Close(fds[0]); }
    void CloseWrite() { Close(fds[1]); }
    static void Close(int &fd)
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

void ExpectEndedForTheReader(BridgeProcess &bridge, const TempDir &dir)
{
    ASSERT_EQ(bridge.WaitExit(kHangGuard), kReaderGone) << bridge.Err();
    const std::string err = bridge.Err();
    EXPECT_NE(err.find("vektacand: standard output: the reader has gone: stopping\n"), std::string::npos) << err;
    EXPECT_NE(err.find(" frames received; standard output: "), std::string::npos) << err;
    EXPECT_EQ(dir.LogFiles().size(), 1u) << "the run's capture log";
}

// `vektacand --candump TTY | head -n 5`, head a real process of its own.
TEST(ReaderGoneTest, HeadTakesFiveLinesAndTheRunEnds)
{
    vektasim::Simulator simulator(vektasim::Options{});
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;
    const TempDir dir;
    Pipe pipe;
    const std::string headOut = (dir.path() / "head.out").string();
    posix_spawn_file_actions_t actions;
    ASSERT_EQ(posix_spawn_file_actions_init(&actions), 0);
    ASSERT_EQ(posix_spawn_file_actions_adddup2(&actions, pipe.fds[0], STDIN_FILENO), 0);
    ASSERT_EQ(posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, headOut.c_str(), O_WRONLY | O_CREAT, 0644), 0);
    const std::string lines = std::to_string(kHeadLines);
    char *argv[] = {const_cast<char *>("head"), const_cast<char *>("-n"), const_cast<char *>(lines.c_str()), nullptr};
    pid_t head = -1;
    ASSERT_EQ(::posix_spawnp(&head, "head", &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    pipe.CloseRead();

    BridgeProcess bridge({"--candump", "--can-log", "--log-dir", dir.path().string(), simulator.PortPath()},
                         dir.path().string(), pipe.fds[1]);
    pipe.CloseWrite();
    const auto headStatus = WaitForExit(head, kHangGuard);
    ASSERT_TRUE(headStatus && WIFEXITED(*headStatus) && WEXITSTATUS(*headStatus) == 0);
    const std::string taken = ReadFile(headOut);
    EXPECT_EQ(size_t(std::count(taken.begin(), taken.end(), '\n')), kHeadLines) << taken;
    ExpectEndedForTheReader(bridge, dir);
}

// Every frame there is already read and the bus then silent: no write
// will ever meet EPIPE, and the run still ends when the reader goes.
TEST(ReaderGoneTest, QuietBusStillEndsTheRun)
{
    vektasim::Options options;
    options.frameLimit = kQuietFrames;
    vektasim::Simulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;
    const TempDir dir;
    Pipe pipe;
    BridgeProcess bridge({"--candump", "--can-log", "--log-dir", dir.path().string(), simulator.PortPath()},
                         dir.path().string(), pipe.fds[1]);
    pipe.CloseWrite();
    std::string read;
    char buffer[4096];
    while (size_t(std::count(read.begin(), read.end(), '\n')) < kQuietFrames) {
        const ssize_t got = ::read(pipe.fds[0], buffer, sizeof buffer);
        ASSERT_GT(got, 0) << bridge.Err();
        read.append(buffer, size_t(got));
    }
    pipe.CloseRead();
    ExpectEndedForTheReader(bridge, dir);
    EXPECT_NE(bridge.Err().find(std::to_string(kQuietFrames) + " forwarded, 0 dropped"), std::string::npos)
        << bridge.Err();
}

// /dev/full as a disk with no room: said once, the run goes on, every line
// counted as dropped, and a signal still ends it with exit status 0.
TEST(FullOutputTest, NoSpaceIsSaidOnceAndTheRunGoesOn)
{
    vektasim::Simulator simulator(vektasim::Options{});
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;
    const TempDir dir;
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    BridgeProcess bridge({"--candump", "--log-dir", dir.path().string(), simulator.PortPath()}, dir.path().string(),
                         full);
    ::close(full);
    ASSERT_TRUE(WaitFor([&] { return bridge.Err().find("standard output: dropping frames") != std::string::npos; }))
        << bridge.Err();
    const uint64_t sentAtFull = simulator.FramesSent();
    ASSERT_TRUE(WaitFor([&] { return simulator.FramesSent() > sentAtFull + 100; })) << "the capture stalled";
    bridge.Signal(SIGTERM);
    ASSERT_EQ(bridge.WaitExit(kHangGuard), 0) << bridge.Err();
    const std::string err = bridge.Err();
    EXPECT_EQ(Occurrences(err, "standard output: dropping frames: No space left on device\n"), 1u) << err;
    EXPECT_NE(err.find("standard output: 0 forwarded, "), std::string::npos) << err;
    EXPECT_EQ(err.find("standard output: 0 forwarded, 0 dropped"), std::string::npos) << err;
}

// A file that takes no more (the size limit, as a full disk would without
// privileges) and then takes lines again once the limit is raised: delivery
// resumes, says how many lines were lost meanwhile, and the line the limit
// cut short is finished, so that the file holds whole lines only.
TEST(FullOutputTest, LinesComeAgainOnceTheFileTakesThem)
{
    vektasim::Options options;
    options.traffic = vektasim::Traffic::Flood;
    vektasim::Simulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;
    const TempDir dir;
    const std::string file = (dir.path() / "frames.log").string();
    const int out = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(out, 0);
    // The child inherits the limit and SIGXFSZ ignored, so a write past it
    // fails with EFBIG instead of ending the program; both go back at once.
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit ours = limit;
    limit.rlim_cur = kFileLimitBytes;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const auto xfsz = std::signal(SIGXFSZ, SIG_IGN);
    BridgeProcess bridge({"--candump", "--log-dir", dir.path().string(), simulator.PortPath()}, dir.path().string(),
                         out);
    std::signal(SIGXFSZ, xfsz);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &ours), 0);
    ::close(out);
    ASSERT_TRUE(WaitFor([&] { return bridge.Err().find("standard output: dropping frames") != std::string::npos; }))
        << bridge.Err();
    ASSERT_EQ(::prlimit(bridge.pid(), RLIMIT_FSIZE, &ours, nullptr), 0);
    ASSERT_TRUE(WaitFor([&] {
        return bridge.Err().find("standard output: delivering again after ") != std::string::npos;
    })) << bridge.Err();
    bridge.Signal(SIGTERM);
    ASSERT_EQ(bridge.WaitExit(kHangGuard), 0) << bridge.Err();
    const std::string err = bridge.Err();
    EXPECT_EQ(Occurrences(err, "standard output: dropping frames: File too large\n"), 1u) << err;
    const std::string lines = ReadFile(file);
    ASSERT_GT(lines.size(), size_t(kFileLimitBytes));
    std::istringstream in(lines);
    size_t number = 0;
    for (std::string line; std::getline(in, line); ++number)
        ASSERT_TRUE(line.starts_with("(") && line.find(") can0 ") == 18 && Occurrences(line, "#") == 1)
            << "line " << number << ": " << line;
    EXPECT_EQ(lines.back(), '\n');
}

}  // namespace
