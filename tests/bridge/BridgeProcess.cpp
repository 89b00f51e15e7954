#include "BridgeProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "tests/support/CaptureSupport.h"
#include "tests/support/ChildProcess.h"

extern char **environ;

namespace bridge_test {

namespace {

constexpr mode_t kOutputMode = 0644;

}  // namespace

BridgeProcess::BridgeProcess(const std::vector<std::string> &args, const std::string &folder, int outFd)
    : outPath_(folder + "/bridge.out"), errPath_(folder + "/bridge.err")
{
    std::vector<std::string> copies = {VEKTACAND_PROGRAM};
    copies.insert(copies.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (auto &arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return;
    const int flags = O_WRONLY | O_CREAT | O_TRUNC;
    const bool ready =
        (outFd >= 0
             ? posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO)
             : posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath_.c_str(), flags, kOutputMode)) == 0 &&
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(), flags, kOutputMode) == 0;
    if (!ready || ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

BridgeProcess::~BridgeProcess()
{
    if (pid_ > 0)
        WaitExit(std::chrono::milliseconds(0));
}

std::string BridgeProcess::Out() const
{
    return testing_support::ReadFile(outPath_);
}

std::string BridgeProcess::Err() const
{
    return testing_support::ReadFile(errPath_);
}

size_t BridgeProcess::OutLines() const
{
    const std::string out = Out();
    return size_t(std::count(out.begin(), out.end(), '\n'));
}

void BridgeProcess::Signal(int number) const
{
    if (pid_ > 0)
        ::kill(pid_, number);
}

int BridgeProcess::WaitExit(std::chrono::milliseconds deadline)
{
    const auto status = WaitStatus(deadline);
    return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

std::optional<int> BridgeProcess::WaitStatus(std::chrono::milliseconds deadline)
{
    if (pid_ <= 0)
        return std::nullopt;
    const auto status = testing_support::WaitForExit(pid_, deadline);
    pid_ = -1;
    return status;
}

int RunToEnd(const std::vector<std::string> &args, const std::string &folder, std::string &err)
{
    BridgeProcess process(args, folder);
    const int status = process.WaitExit();
    err = process.Err();
    return status;
}

}  // namespace bridge_test
