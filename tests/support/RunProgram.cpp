#include "RunProgram.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CaptureSupport.h"

extern char **environ;

namespace testing_support {

namespace {

constexpr mode_t kOutputMode = 0644;

}  // namespace

ProgramRun RunProgram(const std::vector<std::string> &args, const std::string &folder, const std::string &stdoutPath)
{
    const std::string outPath = stdoutPath.empty() ? folder + "/program.out" : stdoutPath;
    const std::string errPath = folder + "/program.err";
    std::vector<std::string> copies = args;
    std::vector<char *> argv;
    for (auto &arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    ProgramRun run;
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return run;
    const int flags = O_WRONLY | O_CREAT | O_TRUNC;
    pid_t pid = -1;
    const bool ready =
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), flags, kOutputMode) == 0 &&
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), flags, kOutputMode) == 0;
    const bool spawned = ready && ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.out = stdoutPath.empty() ? ReadFile(outPath) : std::string();
    run.err = ReadFile(errPath);
    return run;
}

}  // namespace testing_support
