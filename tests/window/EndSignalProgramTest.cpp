// The program itself, sent an end signal: it closes its window as a close
// does, saving its settings, and ends with status 0.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/Waiting.h"

extern char **environ;

namespace {

namespace fs = std::filesystem;

struct SignalCase {
    int signalNumber;
    const char *name;
};

void PrintTo(const SignalCase &c, std::ostream *out)
{
    *out << c.name;
}

// Whether a process has a handler of its own for a signal, from the kernel's
// account of it; the program installs its handlers before it shows its window.
bool Catches(pid_t pid, int signalNumber)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signalNumber - 1)) & 1u;
    return false;
}

class EndSignalProgramTest : public testing::TestWithParam<SignalCase> {
protected:
    testing_support::TempDir dir_;
};

TEST_P(EndSignalProgramTest, ClosesTheWindowSavesTheSettingsAndExitsWithZero)
{
    // A copy in a folder of its own keeps its files there.
    const fs::path program = dir_.path() / "vektamon";
    fs::copy_file(VEKTAMON_PROGRAM, program);
    std::string path = program.string();
    char *argv[] = {path.data(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ), 0);
    const bool ready = testing_support::WaitFor([&] { return Catches(pid, GetParam().signalNumber); });
    EXPECT_TRUE(ready) << "no handler for the signal";
    ASSERT_EQ(::kill(pid, ready ? GetParam().signalNumber : SIGKILL), 0);
    const auto status = testing_support::WaitForExit(pid, testing_support::kDeadline);
    ASSERT_TRUE(status) << "still running after the signal";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    std::ifstream settings(dir_.path() / "vektamon.set", std::ios::binary);
    std::stringstream text;
    text << settings.rdbuf();
    EXPECT_EQ(text.str().rfind("COM1\r\n", 0), 0u) << text.str();
}

// A logout must not wait for someone to answer a box: a settings file that
// cannot be written is said on standard error and the program ends.
TEST_P(EndSignalProgramTest, UnwritableSettingsAreSaidOnStandardErrorAndTheProgramStillEnds)
{
    const fs::path program = dir_.path() / "vektamon";
    fs::copy_file(VEKTAMON_PROGRAM, program);
    fs::create_directory(dir_.path() / "vektamon.set");  // no file can be renamed over it
    const std::string errPath = (dir_.path() / "vektamon.err").string();
    std::string path = program.string();
    char *argv[] = {path.data(), nullptr};
    posix_spawn_file_actions_t actions;
    ASSERT_EQ(posix_spawn_file_actions_init(&actions), 0);
    ASSERT_EQ(
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
        0);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(spawned, 0);
    const bool ready = testing_support::WaitFor([&] { return Catches(pid, GetParam().signalNumber); });
    EXPECT_TRUE(ready) << "no handler for the signal";
    ASSERT_EQ(::kill(pid, ready ? GetParam().signalNumber : SIGKILL), 0);
    const auto status = testing_support::WaitForExit(pid, testing_support::kDeadline);
    ASSERT_TRUE(status) << "still running after the signal (a box waits for an answer?)";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    std::ifstream err(errPath, std::ios::binary);
    std::stringstream text;
    text << err.rdbuf();
    EXPECT_NE(text.str().find("vektamon: settings not saved to "), std::string::npos) << text.str();
}

INSTANTIATE_TEST_SUITE_P(Signals, EndSignalProgramTest,
                         testing::Values(SignalCase{SIGTERM, "SIGTERM"}, SignalCase{SIGHUP, "SIGHUP"},
                                         SignalCase{SIGINT, "SIGINT"}),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
