// The Windows platform services as the capture thread uses them: error texts,
// the timer resolution, the clock and the device path of a port name.
#include <gtest/gtest.h>
#include <windows.h>

#include "WineSupport.h"
#include "capture/Clock.h"
#include "capture/SerialDevice.h"
#include "common/ErrorText.h"
#include "tests/support/CaptureSupport.h"

namespace {

using testing_support::WaitFor;
using wine_support::UnderWine;

bool EndsCleanly(const std::string &text)
{
    const auto last = static_cast<unsigned char>(text.back());
    return last > ' ' && last != '.';
}

struct ErrorTextCase {
    uint32_t code;
    const char *wine;     // Wine's own message table
    const char *english;  // an English Windows
    const char *russian;  // a Russian Windows
};

class ErrorTexts : public ::testing::TestWithParam<ErrorTextCase> {};

TEST_P(ErrorTexts, AreTheSystemMessageWithoutTheTrailingStopAndLineEnd)
{
    const ErrorTextCase &c = GetParam();
    const std::string text = SystemErrorText(c.code);
    ASSERT_FALSE(text.empty());
    EXPECT_TRUE(EndsCleanly(text)) << text;
    if (UnderWine()) {
        EXPECT_EQ(text, c.wine);
        return;
    }
    switch (PRIMARYLANGID(GetUserDefaultUILanguage())) {
    case LANG_ENGLISH: EXPECT_EQ(text, c.english); break;
    case LANG_RUSSIAN: EXPECT_EQ(text, c.russian); break;
    default: break;  // other languages: only the shape is known
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ErrorTexts,
    ::testing::Values(ErrorTextCase{ERROR_FILE_NOT_FOUND, "File not found", "The system cannot find the file specified",
                                    "Не удается найти указанный файл"},
                      ErrorTextCase{ERROR_ACCESS_DENIED, "Access denied", "Access is denied", "Отказано в доступе"}));

// The longest message in the system's table comes whole, however long: a
// fixed buffer gave no text at all for one that did not fit.
TEST(ErrorTexts, TheLongestSystemMessageComesWhole)
{
    constexpr uint32_t kLastSystemCode = 16000;
    uint32_t longestCode = 0;
    DWORD longest = 0;
    for (uint32_t code = 1; code < kLastSystemCode; ++code) {
        wchar_t *text = nullptr;
        const DWORD length =
            FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
        LocalFree(text);
        if (length > longest) {
            longest = length;
            longestCode = code;
        }
    }
    ASSERT_GT(longest, 0u);
    const std::string text = SystemErrorText(longestCode);
    // UTF-8 takes at least a byte a character; the trim takes at most the stop and the line end.
    EXPECT_GE(text.size() + 3, size_t{longest}) << "code " << longestCode << ": " << text;
}

TEST(ErrorCodes, OfTheCaptureThreadAreTheSystemsOwn)
{
    EXPECT_EQ(PortBusyError(), uint32_t{ERROR_ACCESS_DENIED});
    EXPECT_EQ(OutOfMemoryError(), uint32_t{ERROR_NOT_ENOUGH_MEMORY});
    EXPECT_EQ(InputOutputError(), uint32_t{ERROR_GEN_FAILURE});
    for (const uint32_t code : {PortBusyError(), OutOfMemoryError(), InputOutputError()})
        EXPECT_FALSE(SystemErrorText(code).empty()) << code;
}

TEST(ErrorCodes, WithoutAMessageGiveNoText)
{
    constexpr uint32_t kUnassigned = 0x0000FFFF;
    EXPECT_EQ(SystemErrorText(kUnassigned), "");
}

TEST(TimerResolution, IsQueriedRequestedAndReleasedThroughNtdll)
{
    const TimerResolution r = QueryTimerResolution();
    ASSERT_GT(r.finest, 0u);
    EXPECT_LE(r.finest, r.current);
    EXPECT_LE(r.current, r.coarsest);
    const uint32_t requested = SetTimerResolution(r.finest, true);
    EXPECT_GE(requested, r.finest);
    EXPECT_LE(requested, r.coarsest);
    EXPECT_LE(QueryTimerResolution().current, requested);
    const uint32_t released = SetTimerResolution(0, false);
    EXPECT_GE(released, r.finest);
    EXPECT_LE(released, r.coarsest);
}

TEST(Clock, MillisecondsFollowTheSystemCounter)
{
    const uint32_t start = MillisecondClock();
    EXPECT_TRUE(WaitFor([start] { return MillisecondClock() != start; }));
    // The counter never runs ahead of the tick count by more than a tick.
    const uint32_t ticks = GetTickCount();
    EXPECT_LT(uint32_t(MillisecondClock() - ticks + 1000), 2000u);
}

TEST(Clock, LocalTimeIsTheSystemsLocalTime)
{
    // Two readings may straddle a second; one of a few tries will not.
    EXPECT_TRUE(WaitFor([] {
        SYSTEMTIME t{};
        GetLocalTime(&t);
        const LocalDateTime now = LocalNow();
        return now.year == t.wYear && now.month == t.wMonth && now.day == t.wDay && now.hour == t.wHour &&
               now.minute == t.wMinute && now.second == t.wSecond;
    }));
}

TEST(DevicePath, PutsThePortIntoTheDeviceNamespace)
{
    EXPECT_EQ(SerialDevice::DevicePath("COM1"), "\\\\.\\COM1");
    EXPECT_EQ(SerialDevice::DevicePath("COM12"), "\\\\.\\COM12");
}

}  // namespace
