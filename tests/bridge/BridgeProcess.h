// vektacand run as a child process, its standard error (and usually its
// standard output) in files of a test folder, watched while it runs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace bridge_test {

// Stands in a case's arguments for the simulator's port, known only once it runs.
inline constexpr char kPort[] = "@PORT@";

class BridgeProcess {
public:
    // args without the program; outFd >= 0 takes standard output instead of a file.
    BridgeProcess(const std::vector<std::string> &args, const std::string &folder, int outFd = -1);
    ~BridgeProcess();
    BridgeProcess(const BridgeProcess &) = delete;
    BridgeProcess &operator=(const BridgeProcess &) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    std::string Out() const;
    std::string Err() const;
    size_t OutLines() const;
    void Signal(int number) const;
    // The exit status once it exits within deadline; -1 otherwise (it is
    // then killed).
    int WaitExit(std::chrono::milliseconds deadline = std::chrono::seconds(30));
    // The wait status once it ends within deadline (a death by a signal
    // too); empty otherwise (it is then killed).
    std::optional<int> WaitStatus(std::chrono::milliseconds deadline = std::chrono::seconds(30));

private:
    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = -1;
};

// Runs to the end; answers the exit status, standard error in err.
int RunToEnd(const std::vector<std::string> &args, const std::string &folder, std::string &err);

}  // namespace bridge_test
