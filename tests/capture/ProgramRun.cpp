#include "ProgramRun.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "tests/support/CaptureSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Waiting.h"

extern char **environ;

namespace testing_support {

namespace fs = std::filesystem;

CaptureProgram::CaptureProgram(const std::string &folder, const std::string &port, std::chrono::milliseconds cutEvery)
{
    const std::string cut = std::to_string(cutEvery.count());
    std::string program = VEKTA_CAPTURE_PROGRAM;
    char *argv[] = {program.data(), const_cast<char *>(folder.c_str()), const_cast<char *>(port.c_str()),
                    const_cast<char *>(cut.c_str()), nullptr};
    EXPECT_EQ(::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, environ), 0);
}

CaptureProgram::~CaptureProgram()
{
    if (pid_ > 0)
        Kill();
}

void CaptureProgram::Freeze()
{
    ASSERT_EQ(::kill(pid_, SIGSTOP), 0);
    int status = 0;
    ASSERT_TRUE(WaitFor([&] { return ::waitpid(pid_, &status, WUNTRACED | WNOHANG) == pid_; }));
    ASSERT_TRUE(WIFSTOPPED(status));
}

void CaptureProgram::Kill()
{
    EXPECT_EQ(::kill(pid_, SIGKILL), 0);
    const auto status = WaitForExit(pid_, kDeadline);
    EXPECT_TRUE(status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL);
    pid_ = -1;
}

void CaptureProgram::Terminate()
{
    EXPECT_EQ(::kill(pid_, SIGTERM), 0);
    const auto status = WaitForExit(pid_, kDeadline);
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    pid_ = -1;
}

std::vector<std::string> HeldMessages(const TempDir &dir)
{
    constexpr std::string_view kSealStart = "Logged in ";
    constexpr std::string_view kSealFrom = " from byte ";
    std::map<fs::path, std::string> logs;
    for (const auto &file : dir.LogFiles())
        logs[file] = ReadFile(file);
    std::vector<std::string> others;
    for (const auto &entry : fs::directory_iterator(dir.path())) {
        if (entry.path().extension() != ".journal")
            continue;
        std::string text = ReadFile(entry.path());
        const size_t seal = text.rfind(kSealStart);
        const std::string line = seal == std::string::npos ? std::string() : text.substr(seal + kSealStart.size());
        const size_t from = line.find(kSealFrom);
        if (from != std::string::npos && line.ends_with("\r\n") &&
            (seal == 0 || text.compare(seal - 2, 2, "\r\n") == 0)) {
            text.resize(seal);
            const auto log = logs.find(dir.path() / line.substr(0, from));
            const size_t offset = std::stoul(line.substr(from + kSealFrom.size()));
            // A log that holds the start of the lines at the sealed byte gets
            // the rest; without one (its first write failed and went) they
            // go to a log of their own.
            if (log != logs.end() && log->second.size() >= offset) {
                const size_t held = std::min(log->second.size() - offset, text.size());
                EXPECT_EQ(log->second.compare(offset, held, text, 0, held), 0) << "the sealed log holds other lines";
                log->second += text.substr(held);
                continue;
            }
        }
        const size_t end = text.rfind("\r\n");
        text.resize(end == std::string::npos ? 0 : end + 2);
        const auto lines = LogMessages(text);
        others.insert(others.end(), lines.begin(), lines.end());
    }
    std::vector<std::string> held;
    for (const auto &[path, text] : logs) {
        const auto lines = LogMessages(text);
        held.insert(held.end(), lines.begin(), lines.end());
    }
    held.insert(held.end(), others.begin(), others.end());
    return held;
}

}  // namespace testing_support
