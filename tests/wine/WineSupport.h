// Helpers of the Windows tests: the simulated adapters the script started,
// temporary folders, condition waits, and a capture thread started the way
// the window starts it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Unit2.h"

namespace wine_support {

constexpr auto kDeadline = std::chrono::seconds(20);

constexpr uint32_t kAdapterRate = 833333;  // bit/s
// What Wine puts a pseudo-terminal on for a rate without a terminal constant.
constexpr uint32_t kWineFallbackRate = 38400;  // bit/s

// Polls cond until it holds or the deadline passes; answers its last value.
bool WaitFor(const std::function<bool()> &cond, std::chrono::milliseconds deadline = kDeadline);

// True when the program runs under Wine rather than Windows.
bool UnderWine();
// Prints where Wine was seen to differ from Windows, for the run's summary.
void NoteWineDifference(const std::string &what);

// A simulated adapter on a COM port, with the file where the simulator
// records every message it receives. Both are named by the environment:
// VEKTAMON_TEST_<KIND>_PORT and VEKTAMON_TEST_<KIND>_RECORD.
struct SimulatedAdapter {
    std::string port;
    std::string record;
};
SimulatedAdapter AdapterFromEnvironment(const std::string &kind);

// One received message as recorded: the line rate the port was set to when it
// arrived, and its bytes.
struct RecordedMessage {
    uint32_t lineRate = 0;
    std::vector<uint8_t> bytes;
    bool operator==(const RecordedMessage &) const = default;
};
std::vector<RecordedMessage> ReadRecord(const std::string &path);

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &path() const { return path_; }
    // The folder as UTF-8 with a trailing separator, as logPath holds it.
    std::string logPath() const;
    std::vector<std::filesystem::path> LogFiles() const;

private:
    std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path &path);
// The lines of a log file (split at CR LF) without their stamps.
std::vector<std::string> LogMessages(const std::string &fileText);
// All log files of a folder concatenated in name order, as messages.
std::vector<std::string> AllLogMessages(const TempDir &dir);

// Resets a record and fills it with the window's defaults for a capture.
void PrepareControl(TCaptureControl &control, const TempDir &dir, const std::string &port);

// A capture thread on CaptureControl, ended through the handshake at scope exit.
class CaptureThread {
public:
    CaptureThread();
    ~CaptureThread();
    CaptureThread(const CaptureThread &) = delete;
    CaptureThread &operator=(const CaptureThread &) = delete;
    void Start();  // flags := 0x8001
    void Stop();  // flags := 0x8000, then wait for the run to end
    void Cut();   // flags := 0x8003
    bool End();   // flags := 0, then wait for 0x2000

private:
    bool ended_ = false;
};

}  // namespace wine_support
