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
#include <optional>
#include <ostream>
#include <sstream>
#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/Waiting.h"

extern char **environ;

namespace {

namespace fs = std::filesystem;

constexpr mode_t kOutputMode = 0644;

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
    // Runs a copy of the program in the test's folder (which keeps its
    // files there), standard error going to errPath when one is given;
    // sends the case's signal once the program catches it and answers the
    // wait status, or nothing when it did not end.
    std::optional<int> SignalledRun(const std::string &errPath = {})
    {
        const fs::path program = dir_.path() / "vektamon";
        fs::copy_file(VEKTAMON_PROGRAM, program);
        std::string path = program.string();
        char *argv[] = {path.data(), nullptr};
        posix_spawn_file_actions_t actions;
        if (posix_spawn_file_actions_init(&actions) != 0)
            return std::nullopt;
        pid_t pid = -1;
        const bool spawned =
            (errPath.empty() || posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                                                 O_WRONLY | O_CREAT | O_TRUNC, kOutputMode) == 0) &&
            ::posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_TRUE(spawned);
        if (!spawned)
            return std::nullopt;
        const bool ready = testing_support::WaitFor([&] { return Catches(pid, GetParam().signalNumber); });
        EXPECT_TRUE(ready) << "no handler for the signal";
        EXPECT_EQ(::kill(pid, ready ? GetParam().signalNumber : SIGKILL), 0);
        return testing_support::WaitForExit(pid, testing_support::kDeadline);
    }

    testing_support::TempDir dir_;
};

std::string ReadAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_P(EndSignalProgramTest, ClosesTheWindowSavesTheSettingsAndExitsWithZero)
{
    const auto status = SignalledRun();
    ASSERT_TRUE(status) << "still running after the signal";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    const std::string settings = ReadAll(dir_.path() / "vektamon.set");
    EXPECT_EQ(settings.rfind("COM1\r\n", 0), 0u) << settings;
}

// A logout must not wait for someone to answer a box: a settings file that
// cannot be written is said on standard error and the program ends.
TEST_P(EndSignalProgramTest, UnwritableSettingsAreSaidOnStandardErrorAndTheProgramStillEnds)
{
    fs::create_directory(dir_.path() / "vektamon.set");  // no file can be renamed over it
    const fs::path errPath = dir_.path() / "vektamon.err";
    const auto status = SignalledRun(errPath.string());
    ASSERT_TRUE(status) << "still running after the signal (a box waits for an answer?)";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    const std::string err = ReadAll(errPath);
    EXPECT_NE(err.find("vektamon: settings not saved to "), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(Signals, EndSignalProgramTest,
                         testing::Values(SignalCase{SIGTERM, "SIGTERM"}, SignalCase{SIGHUP, "SIGHUP"},
                                         SignalCase{SIGINT, "SIGINT"}),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
