// Two capture programs logging into one folder at once, each cutting often:
// every file holds whole lines, each program's lines go only into files of
// its own naming, and no frame of either is lost or written twice.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BridgeProcess.h"
#include "sim/Simulator.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/CaseNames.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Waiting.h"

extern char **environ;

namespace {

using namespace bridge_test;
using namespace testing_support;
namespace fs = std::filesystem;

constexpr const char *kCutEveryMs = "20";  // many cuts within each second's file name
constexpr uint64_t kFramesEach = 20000;
constexpr std::string_view kBridgePrefix = "vektacand-";

// One of the two writers: the window's capture (the test program with its
// naming) or the bridge.
class Writer {
public:
    Writer(bool bridge, const TempDir &dir, const std::string &port)
    {
        if (bridge) {
            bridge_ = std::make_unique<BridgeProcess>(
                std::vector<std::string>{"--candump", "--can-log", "--log-dir", dir.path().string(), port},
                fs::path(port).parent_path().string());
            return;
        }
        std::string program = VEKTA_CAPTURE_PROGRAM;
        std::string folder = dir.logPath();
        std::string portCopy = port;
        std::string cut = kCutEveryMs;
        char *argv[] = {program.data(), folder.data(), portCopy.data(), cut.data(), nullptr};
        EXPECT_EQ(::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, environ), 0);
    }
    // SIGTERM: the run ends with its log written; answers the exit status.
    int End()
    {
        if (bridge_) {
            bridge_->Signal(SIGTERM);
            return bridge_->WaitExit();
        }
        EXPECT_EQ(::kill(pid_, SIGTERM), 0);
        const auto status = WaitForExit(pid_, kDeadline);
        pid_ = -1;
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }
    ~Writer()
    {
        if (pid_ > 0)
            static_cast<void>(End());
    }

private:
    std::unique_ptr<BridgeProcess> bridge_;
    pid_t pid_ = -1;
};

struct SharedCase {
    const char *name;
    bool firstIsBridge;
    bool secondIsBridge;
    friend void PrintTo(const SharedCase &c, std::ostream *os) { *os << c.name; }
};

class SharedFolder : public ::testing::TestWithParam<SharedCase> {};

TEST_P(SharedFolder, EachProgramsLinesAreWholeInItsOwnFilesAndNoneIsLost)
{
    const SharedCase &c = GetParam();
    TempDir logs;
    TempDir ports;
    std::vector<std::unique_ptr<vektasim::Simulator>> sims;
    std::vector<std::string> paths;
    for (const char *name : {"ttyA", "ttyB"}) {
        vektasim::Options options;
        options.traffic = vektasim::Traffic::Flood;
        options.throttle = true;
        options.linkPath = (ports.path() / name).string();
        auto sim = std::make_unique<vektasim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
        sims.push_back(std::move(sim));
        paths.push_back(options.linkPath);
    }
    Writer first(c.firstIsBridge, logs, paths[0]);
    Writer second(c.secondIsBridge, logs, paths[1]);
    ASSERT_TRUE(WaitFor([&] { return sims[0]->FramesSent() > kFramesEach && sims[1]->FramesSent() > kFramesEach; }));
    EXPECT_EQ(first.End(), 0);
    EXPECT_EQ(second.End(), 0);

    // Which port's lines follow, by the run's "Open" and each stretch's "Continue".
    const std::map<std::string, bool> isBridge{{paths[0], c.firstIsBridge}, {paths[1], c.secondIsBridge}};
    std::map<std::string, uint64_t> next;
    const vektasim::Options defaults;
    for (const fs::path &file : logs.LogFiles()) {
        const bool bridgeNamed = file.filename().string().rfind(kBridgePrefix, 0) == 0;
        std::string port;
        for (const std::string &m : LogMessages(ReadFile(file))) {
            for (const auto &[path, bridge] : isBridge) {
                if (m.rfind("Open " + path + " ", 0) == 0 || m.rfind("Continue " + path + " ", 0) == 0) {
                    port = path;
                    EXPECT_EQ(bridgeNamed, bridge) << file << ": " << m;
                }
            }
            if (IsCanLine(m)) {
                ASSERT_FALSE(port.empty()) << file << ": a frame before any Open or Continue: " << m;
                ASSERT_EQ(FloodSequence(m, defaults.floodIds), next[port]++) << file << " " << port << ": " << m;
            }
        }
    }
    for (const std::string &path : paths)
        EXPECT_GT(next[path], kFramesEach / 2) << path;
}

INSTANTIATE_TEST_SUITE_P(Writers, SharedFolder,
                         ::testing::Values(SharedCase{"window_and_bridge", false, true},
                                           SharedCase{"two_windows", false, false}),
                         CaseName());

}  // namespace
