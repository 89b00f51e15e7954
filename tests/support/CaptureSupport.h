// Helpers for the tests that run a capture: log files read back, and a capture
// thread started the way the window starts it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "capture/Unit2.h"
#include "tests/support/TempDir.h"
#include "tests/support/Waiting.h"

namespace testing_support {

// What the next start writes after the lines it recovered.
inline constexpr std::string_view kRecoveredLine = "Capture ended unexpectedly; log lines recovered";

std::string ReadFile(const std::filesystem::path &path);
// Writes a file anew; a failed write fails the test.
void WriteFile(const std::filesystem::path &path, const std::string &text);
// How many times part occurs in text, overlapping ones too.
size_t Occurrences(const std::string &text, const std::string &part);
// The lines of a log file (split at CR LF), each its stamp and its message;
// a line with no stamp (a sealed journal's last) is all message, stamp 0.
struct LogLine {
    uint32_t stampMs = 0;
    std::string message;
};
std::vector<LogLine> LogLines(const std::string &fileText);
// The lines of a log file without their stamps.
std::vector<std::string> LogMessages(const std::string &fileText);
// All log files of a folder concatenated in name order, as lines and as
// messages.
std::vector<LogLine> AllLogLines(const TempDir &dir);
std::vector<std::string> AllLogMessages(const TempDir &dir);

bool IsCanLine(const std::string &message);
// The flood's running number of a frame, from its identifier and the pass
// number it carries in its first four data bytes.
uint64_t FloodSequence(const std::string &canLine, uint32_t floodIds);

bool Contains(const std::vector<std::string> &lines, const std::string &line);
size_t CountOf(const std::vector<std::string> &lines, const std::string &line);

// Resets a record and fills it with the window's defaults for a capture.
void PrepareControl(TCaptureControl &control, const TempDir &dir, const std::string &port);

// A test with a log folder of its own, CaptureControl prepared for a port.
class LoggedRun : public ::testing::Test {
protected:
    void Prepare(const std::string &port) { PrepareControl(CaptureControl, dir, port); }

    TempDir dir;
};

// A capture thread on CaptureControl, ended through the handshake at scope exit.
class CaptureThread {
public:
    explicit CaptureThread(FrameSink *sink = nullptr);
    ~CaptureThread();
    void Start();  // flags := 0x8001
    void Stop();   // flags := 0x8000, then wait for the run to end
    void Cut();    // flags := 0x8003
    // flags := 0, then wait for 0x2000.
    bool End();

private:
    bool ended_ = false;
};

// A TC1 that is never started, on a record of its own, for calling the
// thread's operations directly from the test.
struct DetachedCapture {
    DetachedCapture();
    std::unique_ptr<TCaptureControl> control;
    std::unique_ptr<TC1> thread;
};

}  // namespace testing_support
