#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <iomanip>

#include "capture/Clock.h"
#include "capture/Unit2.h"
#include "capture/logstore/LogText.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/CaseNames.h"
#include "tests/support/StepClock.h"

namespace {

using namespace testing_support;

struct HexCase {
    std::vector<uint8_t> bytes;
    int first, last;
    const char *text;

    friend void PrintTo(const HexCase &c, std::ostream *os)
    {
        *os << "bytes";
        for (const uint8_t b : c.bytes)
            *os << ' ' << std::hex << std::uppercase << std::setw(2) << std::setfill('0') << int{b} << std::dec;
        *os << " from " << c.first << " to " << c.last;
    }
};

class HexDumpCases : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexDumpCases, RendersUpperCasePairsEachFollowedByABlank)
{
    const HexCase &c = GetParam();
    EXPECT_EQ(TC1::HexDump(c.bytes.data(), c.first, c.last), c.text);
}

INSTANTIATE_TEST_SUITE_P(Dumps, HexDumpCases,
                         ::testing::Values(HexCase{{0x55, 0x03, 0x0A}, 1, 3, "55 03 0A "}, HexCase{{0xFF}, 1, 1, "FF "},
                                           HexCase{{0xAB, 0xCD}, 2, 2, "CD "}, HexCase{{0x00}, 1, 0, "No Data"}),
                         PrintedName());

TEST(LogText, StampsAreTenDigitsAndPeriodsHaveFourDecimals)
{
    char stamp[10];
    WriteStamp(stamp, 4294967295u);
    EXPECT_EQ(std::string(stamp, 10), "4294967295");
    WriteStamp(stamp, 7);
    EXPECT_EQ(std::string(stamp, 10), "0000000007");
    EXPECT_EQ(FormatPeriod(156250), "15.6250");
    EXPECT_EQ(FormatPeriod(5000), "0.5000");
    EXPECT_EQ(FormatPeriod(10000), "1.0000");
}

class CaptureLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareControl(*cap.control, dir, "ttyTEST");
        cap.control->flags = FlagWord::kStartAndCut;
    }
    TC1 &thread() { return *cap.thread; }
    TCaptureControl &control() { return *cap.control; }

    StepClockInPlace time;
    TempDir dir;
    DetachedCapture cap;
};

TEST_F(CaptureLog, FirstLineOfAProcessIsStampedZeroAndCyrillicIsCodePage1251)
{
    thread().AddLogLine("Ошибка TxD");
    const auto lines = thread().logBuffer.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "0000000000: \xCE\xF8\xE8\xE1\xEA\xE0 TxD");
}

TEST_F(CaptureLog, WithBothSwitchesOffNothingIsKeptOrWritten)
{
    control().adapterLog = false;
    control().canLog = false;
    thread().AddLogLine("anything");
    EXPECT_NE(thread().logTimeBase, 0u);  // the time base is kept all the same
    EXPECT_TRUE(thread().logBuffer.Empty());
    EXPECT_TRUE(thread().SaveLog());
    EXPECT_TRUE(dir.LogFiles().empty());
    EXPECT_TRUE(thread().logBuffer.Empty());
    EXPECT_EQ(control().flags.load(), FlagWord::kStart);  // only the cut bit is cleared
}

TEST_F(CaptureLog, SaveWritesCrLfLinesToADatedFileAndStartsWithContinueLines)
{
    thread().lineConfig.BaudRate = 833333;
    control().radr11 = 0x800007E0;
    thread().AddLogLine("first");
    thread().AddLogLine("second");
    ASSERT_TRUE(thread().SaveLog());

    const auto files = dir.LogFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename(), "081226_043012.log");  // 8 December 2026, 04:30:12, day first
    const std::string text = ReadFile(files[0]);
    EXPECT_EQ(text.substr(0, 20), "0000000000: first\r\n0");
    EXPECT_EQ(LogMessages(text), (std::vector<std::string>{"first", "second"}));

    const auto lines = thread().logBuffer.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(12), "Continue ttyTEST Baud=833333(833333) RTO=1000 RTS=ON");
    EXPECT_EQ(lines[1].substr(12), "CAN29 CAN11 SPEED=500000b/s SAMP=80% SJW=15%");
    EXPECT_EQ(control().flags.load(), FlagWord::kStart);
}

TEST_F(CaptureLog, TwoCutsInOneSecondAppendToTheSameFile)
{
    thread().AddLogLine("stretch one");
    thread().SaveLog();
    time.clock.Advance(std::chrono::milliseconds(999));
    thread().AddLogLine("stretch two");
    thread().SaveLog();
    ASSERT_EQ(dir.LogFiles().size(), 1u);
    const auto lines = AllLogLines(dir);
    ASSERT_EQ(lines.size(), 4u);  // the second stretch opens with its two Continue lines
    EXPECT_EQ(lines.front().message, "stretch one");
    EXPECT_EQ(lines.back().message, "stretch two");
    EXPECT_EQ(lines.back().stampMs, 999u);

    // A second later the next cut has a file of its own.
    time.clock.Advance(std::chrono::milliseconds(1));
    thread().AddLogLine("stretch three");
    thread().SaveLog();
    const auto files = dir.LogFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].filename(), "081226_043013.log");
    EXPECT_EQ(LogMessages(ReadFile(files[1])).back(), "stretch three");
}

TEST_F(CaptureLog, FailedWriteKeepsEveryLineForTheNextWrite)
{
    const auto missing = dir.path() / "not-yet";
    StoreText(control().logPath, missing.string() + "/");
    thread().AddLogLine("precious");
    EXPECT_FALSE(thread().SaveLog());
    EXPECT_EQ(control().sysError.load(), static_cast<uint32_t>(ENOENT));
    EXPECT_EQ(control().flags.load(), FlagWord::kStart);  // the cut was served, if in vain

    std::filesystem::create_directory(missing);
    thread().AddLogLine("later");
    EXPECT_TRUE(thread().SaveLog());
    std::vector<std::string> messages;
    for (const auto &entry : std::filesystem::directory_iterator(missing))
        messages = LogMessages(ReadFile(entry.path()));
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "precious");
    EXPECT_NE(messages[1].find("Log file"), std::string::npos);
    EXPECT_EQ(messages[2], "later");
}

TEST_F(CaptureLog, PortSpeedIsStoredForTheLogEvenWhenThePortAnswersNothing)
{
    thread().lineConfig.BaudRate = 833333;
    thread().SetPortSpeed(2000000);  // never opened: reading and applying the settings both fail
    EXPECT_EQ(thread().lineConfig.BaudRate, 2000000u);
    ASSERT_TRUE(thread().SaveLog());
    const auto lines = thread().logBuffer.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].substr(12), "Continue ttyTEST Baud=2000000(833333) RTO=1000 RTS=ON");
}

TEST(LogBufferStore, TakesBackOnlyTheLineAddedLast)
{
    LogBuffer buffer;
    buffer.Add("0000000001", "kept");
    buffer.Add("0000000002", "taken back");
    buffer.DropLast();
    buffer.DropLast();  // nothing more to take back
    EXPECT_EQ(buffer.Lines(), std::vector<std::string>{"0000000001: kept"});
    EXPECT_EQ(buffer.TextBytes(), std::string("0000000001: kept\r\n").size());
}

TEST(LogBufferStore, KeepsLinesInOrderAcrossBlocksAndCostsLittleMoreThanItsText)
{
    LogBuffer buffer;
    const std::string longLine(LogBuffer::kBlockBytes + 10, 'x');
    buffer.Add("0000000001", "a");
    buffer.Add("0000000002", longLine);
    for (int i = 0; i < 50000; ++i)
        buffer.Add("0000000003", "RxD(CAN): 000007E8: 06 41 00 BE 3F A8 13 00 ");
    const auto lines = buffer.Lines();
    ASSERT_EQ(lines.size(), 50002u);
    EXPECT_EQ(lines[0], "0000000001: a");
    EXPECT_EQ(lines[1].size(), longLine.size() + 12);
    EXPECT_EQ(lines.back(), "0000000003: RxD(CAN): 000007E8: 06 41 00 BE 3F A8 13 00 ");
    EXPECT_LT(buffer.ReservedBytes(), buffer.TextBytes() + 2 * LogBuffer::kBlockBytes);
    buffer.Clear();
    EXPECT_TRUE(buffer.Empty());
    EXPECT_TRUE(buffer.Lines().empty());
}

}  // namespace
