#include "WineSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace wine_support {

namespace {
constexpr auto kPollStep = std::chrono::milliseconds(5);
constexpr size_t kStampChars = 12;  // ten digits, colon, blank

std::string Environment(const std::string &name)
{
    const char *value = std::getenv(name.c_str());
    return value != nullptr ? value : "";
}
}  // namespace

bool WaitFor(const std::function<bool()> &cond, std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return cond();
        std::this_thread::sleep_for(kPollStep);
    }
    return true;
}

bool UnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void NoteWineDifference(const std::string &what)
{
    std::printf("[ WINE     ] %s\n", what.c_str());
}

SimulatedAdapter AdapterFromEnvironment(const std::string &kind)
{
    return {Environment("VEKTAMON_TEST_" + kind + "_PORT"), Environment("VEKTAMON_TEST_" + kind + "_RECORD")};
}

std::vector<RecordedMessage> ReadRecord(const std::string &path)
{
    std::vector<RecordedMessage> messages;
    std::ifstream in(path);
    std::string line;
    // "<rate> <hex byte> <hex byte> ...": a line is taken only once it is whole.
    while (std::getline(in, line) && !in.eof()) {
        std::istringstream fields(line);
        RecordedMessage message;
        fields >> message.lineRate;
        unsigned byte = 0;
        while (fields >> std::hex >> byte)
            message.bytes.push_back(static_cast<uint8_t>(byte));
        messages.push_back(message);
    }
    return messages;
}

TempDir::TempDir()
{
    static std::atomic<unsigned> serial{0};
    path_ = fs::temp_directory_path() /
            ("vektamon-wintest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial++));
    fs::create_directories(path_);
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempDir::logPath() const
{
    const std::u8string text = path_.u8string();
    return std::string(text.begin(), text.end()) + "\\";
}

std::vector<fs::path> TempDir::LogFiles() const
{
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(path_))
        if (entry.path().extension() == ".log")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> LogMessages(const std::string &fileText)
{
    std::vector<std::string> messages;
    size_t pos = 0;
    while (pos < fileText.size()) {
        const size_t end = fileText.find("\r\n", pos);
        const std::string line = fileText.substr(pos, end - pos);
        messages.push_back(line.size() >= kStampChars ? line.substr(kStampChars) : line);
        if (end == std::string::npos)
            break;
        pos = end + 2;
    }
    return messages;
}

std::vector<std::string> AllLogMessages(const TempDir &dir)
{
    std::vector<std::string> all;
    for (const auto &file : dir.LogFiles()) {
        const auto messages = LogMessages(ReadFile(file));
        all.insert(all.end(), messages.begin(), messages.end());
    }
    return all;
}

void PrepareControl(TCaptureControl &control, const TempDir &dir, const std::string &port)
{
    ResetControl(control);
    control.flags = FlagWord::kThreadEnded;
    StoreText(control.logPath, dir.logPath());
    StoreText(control.portName, port);
    control.rto = 1000;
    control.radr11 = 0x7E0;
    control.radr12 = 0x7E8;
    control.rmsk1 = 0xFFF;
    control.radr21 = 0x7E1;
    control.radr22 = 0x7E9;
    control.radr23 = 0x7E2;
    control.radr24 = 0x7EA;
    control.rmsk2 = 0xFFF;
    control.canBaud = 500000;
    control.samp = 80;
    control.sjw = 15;
    control.adapterLog = true;
    control.canLog = true;
    control.hardware = 0;
}

CaptureThread::CaptureThread()
{
    TC1 *thread = new TC1(true);  // frees itself when it ends
    thread->Control = &CaptureControl;
    thread->Start();
    EXPECT_TRUE(WaitFor([] { return CaptureControl.flags.load() == FlagWord::kAlive; }));
}

CaptureThread::~CaptureThread()
{
    if (!ended_) {
        EXPECT_TRUE(End());
    }
}

void CaptureThread::Start()
{
    CaptureControl.flags.store(FlagWord::kStart);
}

void CaptureThread::Stop()
{
    const uint32_t before = CaptureControl.runsEnded.load();
    CaptureControl.flags.store(FlagWord::kAlive);
    EXPECT_TRUE(WaitFor([before] { return CaptureControl.runsEnded.load() != before; }));
}

void CaptureThread::Cut()
{
    CaptureControl.flags.store(FlagWord::kStartAndCut);
}

bool CaptureThread::End()
{
    ended_ = true;
    CaptureControl.flags.store(FlagWord::kEnd);
    return WaitFor([] { return CaptureControl.flags.load() == FlagWord::kThreadEnded; });
}

}  // namespace wine_support
