// The vektasim program: prints its port, serves it, and cleans up on a signal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "SimTestSupport.h"
#include "tests/support/CaseNames.h"

extern char **environ;

namespace {

using namespace simtest;

// The program with its stdout on a pipe; killed at scope exit if still running.
class Program {
public:
    explicit Program(std::vector<std::string> args)
    {
        args.insert(args.begin(), VEKTASIM_PROGRAM);
        std::vector<char *> argv;
        for (auto &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        if (posix_spawn_file_actions_init(&actions) == 0) {
            const bool ready = posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO) == 0 &&
                               posix_spawn_file_actions_addclose(&actions, out[0]) == 0 &&
                               posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0) == 0;
            if (!ready || ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
                pid_ = -1;
            posix_spawn_file_actions_destroy(&actions);
        }
        ::close(out[1]);
        stdout_ = ::fdopen(out[0], "r");
    }

    ~Program()
    {
        if (pid_ > 0)
            Stop(SIGKILL);
        if (stdout_ != nullptr)
            std::fclose(stdout_);
    }

    std::string ReadLine()
    {
        char line[4096];
        if (stdout_ == nullptr || std::fgets(line, sizeof line, stdout_) == nullptr)
            return {};
        std::string text(line);
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        return text;
    }

    // The exit status after the signal, or -1.
    int Stop(int signal) { return pid_ > 0 && ::kill(pid_, signal) == 0 ? Wait() : -1; }

    // The exit status, or -1 when the program did not exit by itself.
    int Wait()
    {
        int status = 0;
        const bool ended = pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_;
        pid_ = -1;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    std::FILE *stdout_ = nullptr;
};

bool Exists(const std::string &path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

struct SignalCase {
    const char *name;
    int signal;
};

void PrintTo(const SignalCase &c, std::ostream *out)
{
    *out << c.name << " (" << c.signal << ")";
}

class ProgramSignal : public ::testing::TestWithParam<SignalCase> {};

TEST_P(ProgramSignal, ServesItsLinkUntilTheSignalAndRemovesIt)
{
    TempDir dir;
    const std::string link = (dir.path() / "adapter").string();
    Program program({"--kind", "trilox", "--link", link});
    const std::string slave = program.ReadLine();
    EXPECT_EQ(slave.rfind("/dev/pts/", 0), 0u) << slave;
    EXPECT_EQ(program.ReadLine(), link);
    {
        SlaveEnd client(link);
        ASSERT_TRUE(client.opened());
        ASSERT_TRUE(client.Initialise(vektasim::Kind::Trilox));
        EXPECT_EQ(client.ReadMessage().at(0), 0x70);
    }
    EXPECT_EQ(program.Stop(GetParam().signal), 0);
    EXPECT_FALSE(Exists(link));
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramSignal,
                         ::testing::Values(SignalCase{"SIGINT", SIGINT}, SignalCase{"SIGTERM", SIGTERM}),
                         testing_support::CaseName());

TEST(Program, BadArgumentsServeNothing)
{
    Program program({"--kind", "other"});
    EXPECT_EQ(program.ReadLine(), "");
    EXPECT_EQ(program.Wait(), 2);
}

TEST(Program, UnreadableReplayServesNothing)
{
    Program program({"--replay", "/nonexistent/trace.log"});
    EXPECT_EQ(program.ReadLine(), "");
    EXPECT_EQ(program.Wait(), 1);
}

}  // namespace
