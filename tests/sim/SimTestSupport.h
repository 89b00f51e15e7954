// Helpers of the simulator tests: the initialisation's commands and the
// client end of the pseudo-terminal driven with plain POSIX calls.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "sim/Simulator.h"
#include "tests/support/ExpectedWire.h"
#include "tests/support/KindPrinting.h"
#include "tests/support/TempDir.h"
#include "tests/support/Waiting.h"

namespace simtest {

using Bytes = std::vector<uint8_t>;
using testing_support::kDeadline;
using testing_support::kTriloxSetupRate;
using testing_support::TempDir;
using testing_support::WaitFor;

constexpr uint32_t kLineRate = 833333;
// The recorded traffic the replay tests play.
inline const std::string kTraces = VEKTA_TRACES_DIR;

// A simulator started with options; a failed start fails the test.
std::unique_ptr<vektasim::Simulator> Start(const vektasim::Options &options);

// The command sequence a capture sends, with TRILOX's extra first command.
std::vector<Bytes> InitCommands(vektasim::Kind kind);

// Bytes as upper-case hex pairs between blanks, for test case printouts.
std::string HexText(const Bytes &bytes);

// What the capture program does with the serial port, minus the program.
class SlaveEnd {
public:
    // Opens path raw at 833333 bit/s with nothing pending; opened() tells
    // whether that worked.
    explicit SlaveEnd(const std::string &path);
    ~SlaveEnd();
    SlaveEnd(const SlaveEnd &) = delete;
    SlaveEnd &operator=(const SlaveEnd &) = delete;

    bool opened() const { return fd_ >= 0; }
    bool SetLineRate(uint32_t bitsPerSecond);
    bool Send(const Bytes &bytes);
    // Exactly count bytes, or fewer when the deadline passed first.
    Bytes ReadBytes(size_t count);
    // One whole message; empty when none came in time.
    Bytes ReadMessage();
    // Sends each command (TRILOX's first at 2000000 bit/s) and reads its
    // answer; false when an answer was not the expected one.
    bool Initialise(vektasim::Kind kind);
    // True once a read reports end of file, an error or a hang-up.
    bool WaitForHangup();
    // Drops what was read ahead of the messages taken so far.
    void ForgetReadAhead() { pending_.clear(); }
    // Bytes that wait in the line, not read yet.
    size_t WaitingInLine() const;

private:
    bool Fill();

    int fd_ = -1;
    std::deque<uint8_t> pending_;
};

}  // namespace simtest
