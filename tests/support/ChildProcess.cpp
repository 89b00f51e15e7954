#include "ChildProcess.h"

#include <signal.h>
#include <sys/wait.h>

#include "Waiting.h"

namespace testing_support {

std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds deadline)
{
    int status = 0;
    if (WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, deadline))
        return status;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return std::nullopt;
}

}  // namespace testing_support
