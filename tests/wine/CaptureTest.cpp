// Whole capture runs of the Windows build: the capture thread opens the COM
// port that Wine maps to the simulator's pseudo-terminal, initialises the
// adapter, receives its frames, cuts the log, stops and ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "WineSupport.h"
#include "common/ErrorText.h"
#include "sim/Simulator.h"
#include "tests/capture/ExpectedTable.h"
#include "tests/capture/Figures.h"
#include "tests/support/BenchTrace.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/ExpectedWire.h"

namespace {

using namespace testing_support;
using namespace wine_support;
using Bytes = std::vector<uint8_t>;

constexpr size_t kAttemptsSeen = 3;
constexpr uint32_t kRetryPauseMs = 300;
constexpr uint32_t kRetrySlackMs = 2000;

// The rate the simulator finds set on its side of the line.
uint32_t RateOnTheLine(uint32_t asked)
{
    return UnderWine() && asked == kAdapterRate ? kWineFallbackRate : asked;
}

// Wine reads back 38400 or, at times, the rate asked for.
std::vector<std::string> OpenLinesAllowed(const std::string &port)
{
    const std::string tail = "(833333) RTO=1000";
    std::vector<std::string> lines{"Open " + port + " Baud=" + std::to_string(kAdapterRate) + tail};
    if (UnderWine())
        lines.push_back("Open " + port + " Baud=" + std::to_string(kWineFallbackRate) + tail);
    return lines;
}

std::string HexLine(const char *prefix, const Bytes &bytes)
{
    std::string text = prefix;
    char pair[4];
    for (const uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X ", b);
        text += pair;
    }
    return text;
}

std::vector<RecordedMessage> RecordedSince(const SimulatedAdapter &adapter, size_t first)
{
    const auto all = ReadRecord(adapter.record);
    return {all.begin() + static_cast<ptrdiff_t>(std::min(first, all.size())), all.end()};
}

std::vector<vektasim::CanFrame> ReplayedFrames()
{
    const char *path = std::getenv("VEKTAMON_TEST_FRAMES");
    std::vector<vektasim::CanFrame> frames;
    std::string error;
    EXPECT_NE(path, nullptr) << "VEKTAMON_TEST_FRAMES names no candump file";
    if (path != nullptr) {
        EXPECT_TRUE(vektasim::LoadCandump(path, frames, error)) << error;
    }
    return frames;
}

struct CaptureCase {
    const char *name;
    const char *kind;  // names the simulated adapter in the environment
    uint8_t hardware;
    std::vector<Bytes> wire;
    std::vector<uint32_t> rates;  // as asked; RateOnTheLine tells what the line got
};

void PrintTo(const CaptureCase &c, std::ostream *out)
{
    *out << c.name;
}

class FullCapture : public ::testing::TestWithParam<CaptureCase> {
protected:
    void SetUp() override
    {
        adapter = AdapterFromEnvironment(GetParam().kind);
        ASSERT_FALSE(adapter.port.empty()) << "no simulated " << GetParam().kind << " adapter";
        PrepareControl(CaptureControl, dir, adapter.port);
        CaptureControl.hardware = GetParam().hardware;
        recordedBefore = ReadRecord(adapter.record).size();
    }

    // An attempt that Wine ends in the open, as on a port whose driver
    // refuses a step: the system's text and a close for every attempt, one
    // attempt every 300 ms, nothing sent to the adapter, Stop and End as usual.
    void ExpectAttemptsEndInTheOpen(CaptureThread &thread, uint32_t code)
    {
        EXPECT_TRUE(WaitForAttempts(kAttemptsSeen));
        EXPECT_NE(CaptureControl.state.load(), CaptureState::kReceiving);
        thread.Stop();
        EXPECT_TRUE(thread.End());
        const auto messages = AllLogMessages(dir);
        const std::string text = SystemErrorText(code);
        EXPECT_GE(CountOf(messages, text), kAttemptsSeen);
        EXPECT_EQ(CountOf(messages, text), CountOf(messages, "Close " + adapter.port));
        EXPECT_TRUE(std::none_of(messages.begin(), messages.end(),
                                 [](const std::string &m) { return m.rfind("Open ", 0) == 0; }));
        EXPECT_TRUE(RecordedSince(adapter, recordedBefore).empty()) << "nothing may reach the adapter";
        const auto lines = AllLogLines(dir);
        uint32_t shortest = UINT32_MAX, longest = 0;
        for (size_t i = bench_support::FindLine(lines, "Close "), next;
             (next = bench_support::FindLine(lines, "Close ", i + 1)) < lines.size(); i = next) {
            const uint32_t gap = lines[next].stampMs - lines[i].stampMs;
            EXPECT_GE(gap, kRetryPauseMs) << "attempts closed at " << lines[i].stampMs;
            EXPECT_LT(gap, kRetryPauseMs + kRetrySlackMs) << "attempts closed at " << lines[i].stampMs;
            shortest = std::min(shortest, gap);
            longest = std::max(longest, gap);
        }
        std::printf("[ FIGURE   ] %s: %zu attempts, each logged \"%s\" (error %u) and closed, %u to %u ms apart\n",
                    adapter.port.c_str(), CountOf(messages, text), text.c_str(), code, shortest, longest);
    }

    TempDir dir;
    SimulatedAdapter adapter;
    size_t recordedBefore = 0;
};

TEST_P(FullCapture, InitialisesReceivesCutsStopsAndEnds)
{
    const CaptureCase &c = GetParam();
    const auto frames = ReplayedFrames();
    const auto expected = ExpectedTable(frames);
    ASSERT_FALSE(expected.empty());
    uint32_t expectedTotal = 0;
    for (const auto &row : expected)
        expectedTotal += row.count;

    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor(
        [] { return CaptureControl.sysError.load() != 0 || CaptureControl.state.load() == CaptureState::kReceiving; }));
    const uint32_t failure =
        CaptureControl.state.load() == CaptureState::kReceiving ? 0 : CaptureControl.sysError.load();
    if (UnderWine() && failure == ERROR_NOT_SUPPORTED) {
        // A pseudo-terminal has no modem lines: VEKTA's pulse fails.
        NoteWineDifference("the VEKTA open fails at its RTS/DTR pulse, so no VEKTA capture runs");
        ExpectAttemptsEndInTheOpen(thread, failure);
        return;
    }
    if (UnderWine() && failure == ERROR_INVALID_PARAMETER) {
        // A real converter: Wine cannot read back the rate it set.
        NoteWineDifference("GetCommState fails with error 87 after 833333 bit/s, so no capture runs");
        ExpectAttemptsEndInTheOpen(thread, failure);
        return;
    }
    ASSERT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }))
        << "sysError " << CaptureControl.sysError.load() << " errorKind " << CaptureControl.errorKind.load();
    ASSERT_TRUE(WaitFor([&] { return TabledFrames() == expectedTotal; })) << TabledFrames() << " of " << expectedTotal;
    ASSERT_NO_FATAL_FAILURE(ExpectTable(CaptureControl, expected));

    thread.Cut();
    ASSERT_TRUE(WaitFor([] { return (CaptureControl.flags.load() & FlagWord::kCutLog) == 0; }));
    ASSERT_EQ(dir.LogFiles().size(), 1u);
    const size_t firstStretch = AllLogMessages(dir).size();
    thread.Stop();
    EXPECT_TRUE(thread.End());
    EXPECT_EQ(CaptureControl.state.load(), CaptureState::kIdle);

    // The exact bytes of the initialisation, at the rate each was sent with;
    // on the driver bench the host end's rate is QEMU's choice, and what the
    // converter was set to is in its trace (ConverterRate).
    const auto recorded = RecordedSince(adapter, recordedBefore);
    if (OnDriverBench()) {
        std::vector<Bytes> wire;
        for (const RecordedMessage &m : recorded)
            wire.push_back(m.bytes);
        EXPECT_EQ(wire, c.wire);
    } else {
        if (UnderWine())
            NoteWineDifference("a pseudo-terminal set to 833333 bit/s runs at 38400");
        std::vector<RecordedMessage> wire;
        for (size_t i = 0; i < c.wire.size(); ++i)
            wire.push_back({RateOnTheLine(c.rates[i]), c.wire[i]});
        EXPECT_EQ(recorded, wire);
    }

    const auto messages = AllLogMessages(dir);
    ASSERT_GT(messages.size(), firstStretch + 2);
    std::string shown;
    for (const auto &m : messages)
        shown += m + "\n";
    SCOPED_TRACE("log:\n" + shown);
    const auto open =
        std::find_if(messages.begin(), messages.end(), [](const std::string &m) { return m.rfind("Open ", 0) == 0; });
    ASSERT_NE(open, messages.end());
    EXPECT_TRUE(Contains(OpenLinesAllowed(adapter.port), *open)) << *open;
    EXPECT_TRUE(Contains(messages, "CAN11 CAN11 SPEED=500000b/s SAMP=80% SJW=15%"));
    std::vector<std::string> sent;
    for (const auto &m : messages)
        if (m.rfind("TxD: ", 0) == 0)
            sent.push_back(m);
    std::vector<std::string> expectedSent;
    for (const Bytes &command : c.wire)
        expectedSent.push_back(HexLine("TxD: ", command));
    EXPECT_EQ(sent, expectedSent);
    EXPECT_EQ(CountOf(messages, "--- End Init Adapter ---"), 1u);
    size_t canLines = 0;
    for (const auto &m : messages)
        canLines += m.rfind("RxD(CAN): ", 0) == 0;
    EXPECT_EQ(canLines, expectedTotal);
    // The rate last set, as the Continue line prints it.
    EXPECT_EQ(messages[firstStretch], "Continue " + adapter.port + " Baud=833333(833333) RTO=1000 RTS=ON");
    EXPECT_EQ(messages.back(), "Close " + adapter.port);
}

INSTANTIATE_TEST_SUITE_P(
    Adapters, FullCapture,
    ::testing::Values(
        CaptureCase{
            "vekta",
            "VEKTA",
            0,
            {{0x5F, 0x00}, {0x52, 0x00}, {0x55, 0x03, 0x81, 0xFE, 0x03}, kFilters, {0x52, 0x00}, {0x57, 0x01, 0x03}},
            std::vector<uint32_t>(6, kAdapterRate)},
        CaptureCase{"trilox",
                    "TRILOX",
                    1,
                    {TriloxSetup(),
                     {0x5F, 0x00},
                     {0x52, 0x00},
                     {0x55, 0x03, 0x81, 0xFE, 0x03},
                     kFilters,
                     {0x52, 0x00},
                     {0x57, 0x01, 0x03}},
                    {testing_support::kTriloxSetupRate, kAdapterRate, kAdapterRate, kAdapterRate, kAdapterRate,
                     kAdapterRate, kAdapterRate}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MissingPort, IsFileNotFoundWithTheSystemsTextInTheLog)
{
    TempDir dir;
    PrepareControl(CaptureControl, dir, kMissingPort);
    CaptureThread thread;
    thread.Start();
    EXPECT_TRUE(WaitFor([] { return CaptureControl.sysError.load() == ERROR_FILE_NOT_FOUND; }));
    thread.Stop();
    EXPECT_TRUE(thread.End());
    EXPECT_EQ(CaptureControl.sysError.load(), uint32_t{ERROR_FILE_NOT_FOUND});
    EXPECT_EQ(CaptureControl.state.load(), CaptureState::kIdle);

    // Every attempt logs the text and closes the port; none opened it.
    ASSERT_EQ(dir.LogFiles().size(), 1u);
    const auto messages = AllLogMessages(dir);
    const std::string text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), text);
    EXPECT_GE(CountOf(messages, text), 1u);
    EXPECT_EQ(CountOf(messages, text), CountOf(messages, std::string("Close ") + kMissingPort));
    EXPECT_EQ(CountOf(messages, text) * 2, messages.size()) << "nothing else";
}

}  // namespace
