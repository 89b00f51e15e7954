// The capture program of the tests that end one from outside (a kill, a
// SIGTERM), and what its folder holds for recovery to take.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace testing_support {

// The capture program, running until ended.
class CaptureProgram {
public:
    CaptureProgram(const std::string &folder, const std::string &port, std::chrono::milliseconds cutEvery);
    ~CaptureProgram();
    CaptureProgram(const CaptureProgram &) = delete;
    CaptureProgram &operator=(const CaptureProgram &) = delete;

    // Stopped whole, every thread of it, so that what it left on disk can be
    // read before it dies: a write under way finishes, no new one begins.
    void Freeze();
    void Kill();
    // Ends it as the window's close does; it exits once its log is written
    // or found unwritable.
    void Terminate();

private:
    pid_t pid_ = -1;
};

// The lines a folder holds: its logs', in the order written, each with what
// a journal sealed for it adds (the lines it lacks), then the other
// journals' whole lines, which are what recovery can take.
std::vector<std::string> HeldMessages(const TempDir &dir);

}  // namespace testing_support
