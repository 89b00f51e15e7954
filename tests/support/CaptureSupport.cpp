#include "CaptureSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace testing_support {

std::string ReadFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    ASSERT_TRUE(out.good()) << path;
}

size_t Occurrences(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::vector<LogLine> LogLines(const std::string &fileText)
{
    constexpr size_t kStampDigits = 10;
    constexpr size_t kMessageStart = kStampDigits + 2;  // after the stamp and ": "
    std::vector<LogLine> lines;
    size_t pos = 0;
    while (pos < fileText.size()) {
        const size_t end = fileText.find("\r\n", pos);
        const std::string line = fileText.substr(pos, end - pos);
        const bool stamped =
            line.size() >= kMessageStart &&
            std::all_of(line.begin(), line.begin() + kStampDigits, [](char c) { return c >= '0' && c <= '9'; }) &&
            line.compare(kStampDigits, 2, ": ") == 0;
        if (stamped)
            lines.push_back(
                {static_cast<uint32_t>(std::stoul(line.substr(0, kStampDigits))), line.substr(kMessageStart)});
        else
            lines.push_back({0, line});
        if (end == std::string::npos)
            break;
        pos = end + 2;
    }
    return lines;
}

std::vector<std::string> LogMessages(const std::string &fileText)
{
    std::vector<std::string> messages;
    for (LogLine &line : LogLines(fileText))
        messages.push_back(std::move(line.message));
    return messages;
}

std::vector<LogLine> AllLogLines(const TempDir &dir)
{
    std::vector<LogLine> all;
    for (const auto &file : dir.LogFiles()) {
        const auto lines = LogLines(ReadFile(file));
        all.insert(all.end(), lines.begin(), lines.end());
    }
    return all;
}

std::vector<std::string> AllLogMessages(const TempDir &dir)
{
    std::vector<std::string> all;
    for (LogLine &line : AllLogLines(dir))
        all.push_back(std::move(line.message));
    return all;
}

bool Contains(const std::vector<std::string> &lines, const std::string &line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool IsCanLine(const std::string &message)
{
    return message.rfind("RxD(CAN): ", 0) == 0;
}

uint64_t FloodSequence(const std::string &canLine, uint32_t floodIds)
{
    // "RxD(CAN): 000001F3: 0A 00 00 00 0A 00 00 00 "
    const uint32_t id = static_cast<uint32_t>(std::stoul(canLine.substr(10, 8), nullptr, 16));
    uint64_t pass = 0;
    for (int k = 3; k >= 0; --k)
        pass = (pass << 8) | std::stoul(canLine.substr(20 + 3 * static_cast<size_t>(k), 2), nullptr, 16);
    return pass * floodIds + id;
}

size_t CountOf(const std::vector<std::string> &lines, const std::string &line)
{
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
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

CaptureThread::CaptureThread(FrameSink *sink)
{
    TC1 *t = new TC1(true);
    t->Control = &CaptureControl;
    t->Sink = sink;
    t->Start();
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

DetachedCapture::DetachedCapture() : control(std::make_unique<TCaptureControl>()), thread(std::make_unique<TC1>(true))
{
    thread->Control = control.get();
}

}  // namespace testing_support
