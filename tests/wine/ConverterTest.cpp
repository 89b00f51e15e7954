// The Windows build on a real converter: run by the driver bench inside its
// guest (scripts/driver-bench.sh wine), where COM5 and COM6 are the kernel's
// ftdi_sio devices and QEMU's trace tells what each converter was told.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "WineSupport.h"
#include "capture/SerialDevice.h"
#include "common/ErrorText.h"
#include "tests/support/BenchTrace.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/ExpectedWire.h"

namespace {

using namespace bench_support;
using namespace testing_support;
using namespace wine_support;

// A UART takes a rate that is off by up to about 3 %.
constexpr double kRateTolerance = 0.03;
constexpr auto kDtrPulse = std::chrono::milliseconds(100);
constexpr auto kPulseSlack = std::chrono::milliseconds(1000);
constexpr size_t kAttempts = 3;
// A rate Wine reads back from the kernel's driver.
constexpr uint32_t kReadableRate = 9600;

class Converter : public ::testing::Test {
protected:
    // Both converters start at a rate Wine reads back, whatever an earlier
    // test left: a capture leaves 833333 bit/s, which it cannot.
    void SetUp() override
    {
        ASSERT_TRUE(OnDriverBench()) << "no converter trace: run on the driver bench";
        for (const char *kind : {"VEKTA", "TRILOX"}) {
            SerialDevice port;
            ASSERT_EQ(port.Open(AdapterFromEnvironment(kind).port), 0u) << kind;
            ASSERT_EQ(port.SetState(LineConfig{kReadableRate, 1, 8, 0, 0}), 0u) << kind;
        }
        trace.Mark();
    }

    Trace trace;
};

struct RateCase {
    const char *name;
    uint32_t asked;
};

void PrintTo(const RateCase &c, std::ostream *out)
{
    *out << c.name;
}

class ConverterRate : public Converter, public ::testing::WithParamInterface<RateCase> {};

TEST_P(ConverterRate, ReachesTheConverterCloseEnoughAndIsReadBackOrRefused)
{
    const uint32_t asked = GetParam().asked;
    // The TRILOX converter, which this test sets back to the rate it found.
    const SimulatedAdapter adapter = AdapterFromEnvironment("TRILOX");
    SerialDevice port;
    ASSERT_EQ(port.Open(adapter.port), 0u);
    LineConfig config;
    ASSERT_EQ(port.GetState(config), 0u);
    const uint32_t found = config.BaudRate;
    config.BaudRate = asked;
    ASSERT_EQ(port.SetState(config), 0u);
    LineConfig readBack;
    const uint32_t code = port.GetState(readBack);
    if (UnderWine() && code == ERROR_INVALID_PARAMETER) {
        NoteWineDifference("GetCommState after " + std::to_string(asked) + " bit/s fails with error 87");
    } else {
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(readBack.BaudRate, asked);
    }
    const auto events = trace.Since();
    const auto baud = std::find_if(events.rbegin(), events.rend(), [](const TraceEvent &e) { return e.isBaud; });
    ASSERT_NE(baud, events.rend()) << "the converter got no rate";
    EXPECT_NEAR(baud->baud, asked, asked * kRateTolerance);
    config.BaudRate = found;
    EXPECT_EQ(port.SetState(config), 0u);
    std::printf("[ FIGURE   ] %u bit/s: converter at %u bit/s, read back %s\n", asked, baud->baud,
                code == 0 ? std::to_string(readBack.BaudRate).c_str() : ("error " + std::to_string(code)).c_str());
    if (UnderWine() && baud->baud != asked)
        NoteWineDifference(std::to_string(asked) + " bit/s reaches the converter as " + std::to_string(baud->baud));
}

INSTANTIATE_TEST_SUITE_P(Rates, ConverterRate,
                         ::testing::Values(RateCase{"trilox_setup_2000000", testing_support::kTriloxSetupRate},
                                           RateCase{"adapter_833333", kAdapterRate}),
                         [](const auto &info) { return std::string(info.param.name); });

struct KindCase {
    const char *kind;
    uint8_t hardware;
};

void PrintTo(const KindCase &c, std::ostream *out)
{
    *out << c.kind;
}

// The line requests of each attempt, after the open's own raise of both
// lines, which follows the baud request the open sends.
std::vector<std::vector<TraceEvent>> AttemptsOf(const std::vector<TraceEvent> &events)
{
    std::vector<std::vector<TraceEvent>> attempts;
    bool afterBaud = false;
    for (const TraceEvent &e : LineRequests(events)) {
        if (afterBaud && Describe(e) == "DTR on, RTS on") {
            if (!attempts.empty())
                attempts.back().pop_back();  // the open's baud request
            attempts.emplace_back();
        } else if (!attempts.empty()) {
            attempts.back().push_back(e);
        }
        afterBaud = e.isBaud;
    }
    return attempts;
}

// DTR and RTS as a run of requests leaves them, from the open on (both on).
struct Lines {
    bool dtr = true;
    bool rts = true;
};

// One line going on or off, in words ("RTS on", "DTR off"), with its time.
struct LineChange {
    int64_t timeUs = 0;
    std::string what;
};

// What each request from the attempt's line set-up (its first baud request)
// on changed; Wine sets both lines in every request, so only a change counts.
std::vector<LineChange> ChangesFromTheSetUp(const std::vector<TraceEvent> &attempt)
{
    const auto setUp = std::find_if(attempt.begin(), attempt.end(), [](const TraceEvent &e) { return e.isBaud; });
    std::vector<LineChange> changes;
    Lines lines;
    for (auto e = setUp; e != attempt.end(); ++e) {
        if (e->isBaud)
            continue;
        const Lines before = lines;
        if (e->value & kFtdiDtrMask)
            lines.dtr = (e->value & kFtdiDtr) != 0;
        if (e->value & kFtdiRtsMask)
            lines.rts = (e->value & kFtdiRts) != 0;
        if (lines.dtr != before.dtr)
            changes.push_back({e->timeUs, lines.dtr ? "DTR on" : "DTR off"});
        if (lines.rts != before.rts)
            changes.push_back({e->timeUs, lines.rts ? "RTS on" : "RTS off"});
    }
    return changes;
}

std::string Timeline(const std::vector<TraceEvent> &attempt, const std::vector<LineChange> &changes)
{
    const auto setUp = std::find_if(attempt.begin(), attempt.end(), [](const TraceEvent &e) { return e.isBaud; });
    std::string text = "set-up at " + std::to_string(setUp->baud) + " bit/s";
    char step[64];
    for (const LineChange &c : changes) {
        std::snprintf(step, sizeof step, ", +%.1f ms %s", (c.timeUs - setUp->timeUs) / 1000.0, c.what.c_str());
        text += step;
    }
    return text;
}

// From the line set-up on: both lines go off; then VEKTA raises RTS, raises
// DTR and lowers it again about 100 ms later, and TRILOX raises nothing.
// Whatever follows may only lower a line (the close).
void ExpectModemLines(const std::vector<TraceEvent> &attempt, const KindCase &c)
{
    ASSERT_TRUE(std::any_of(attempt.begin(), attempt.end(), [](const TraceEvent &e) { return e.isBaud; }))
        << "no line set-up";
    const auto changes = ChangesFromTheSetUp(attempt);
    std::vector<std::string> expected = {"DTR off", "RTS off"};
    if (c.hardware == 0)
        expected.insert(expected.end(), {"RTS on", "DTR on", "DTR off"});
    ASSERT_GE(changes.size(), expected.size()) << Timeline(attempt, changes);
    for (size_t i = 0; i < changes.size(); ++i) {
        if (i < expected.size())
            EXPECT_EQ(changes[i].what, expected[i]) << Timeline(attempt, changes);
        else
            EXPECT_NE(changes[i].what.find(" off"), std::string::npos)
                << "raised later: " << Timeline(attempt, changes);
    }
    std::printf("[ FIGURE   ] %s under Wine: %s\n", c.kind, Timeline(attempt, changes).c_str());
    if (c.hardware != 0)
        return;
    const auto pulse = std::chrono::microseconds(changes[4].timeUs - changes[3].timeUs);
    EXPECT_GE(pulse, kDtrPulse);
    EXPECT_LT(pulse, kDtrPulse + kPulseSlack);
    std::printf("[ FIGURE   ] %s under Wine: DTR pulse of %.1f ms\n", c.kind, pulse.count() / 1000.0);
}

class ConverterCapture : public Converter, public ::testing::WithParamInterface<KindCase> {};

// Whether Wine reads the rate back or not, every attempt drives the modem
// lines as the Windows layer asks (the attempts' outcome: FullCapture). The
// first attempt finds the line at the rate the fixture left readable.
TEST_P(ConverterCapture, DrivesTheModemLinesAndEndsEveryAttemptAsTheReadBackSays)
{
    const KindCase &c = GetParam();
    const SimulatedAdapter adapter = AdapterFromEnvironment(c.kind);
    TempDir dir;
    PrepareControl(CaptureControl, dir, adapter.port);
    CaptureControl.hardware = c.hardware;
    bool refused = false;
    {
        CaptureThread thread;
        thread.Start();
        ASSERT_TRUE(WaitFor([] {
            return CaptureControl.sysError.load() != 0 || CaptureControl.state.load() == CaptureState::kReceiving;
        }));
        // A few attempts where Wine ends each in the open, else a capture.
        refused = CaptureControl.sysError.load() != 0;
        if (refused)
            EXPECT_TRUE(WaitForAttempts(kAttempts));
        else
            EXPECT_TRUE(WaitFor([] { return CaptureControl.frameCount.load() > 0; }));
        thread.Stop();
        EXPECT_TRUE(thread.End());
    }
    const auto attempts = AttemptsOf(trace.Since());
    SCOPED_TRACE("the converter's modem and baud requests:\n" + Listed(LineRequests(trace.Since())));
    ASSERT_FALSE(attempts.empty());
    EXPECT_EQ(attempts.size(), CountLines(AllLogLines(dir), "Close "));
    ExpectModemLines(attempts.front(), c);
    // Later attempts on a line Wine set to 833333 end at the first read of
    // the settings, before the set-up: the lines stay as the open raised them.
    for (size_t i = 1; i < attempts.size(); ++i) {
        const bool setUp =
            std::any_of(attempts[i].begin(), attempts[i].end(), [](const TraceEvent &e) { return e.isBaud; });
        if (UnderWine() && refused && !setUp) {
            NoteWineDifference("after 833333 bit/s GetCommState fails already before the line set-up, so later "
                               "attempts leave DTR and RTS as the open raised them");
            continue;
        }
        ExpectModemLines(attempts[i], c);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ConverterCapture, ::testing::Values(KindCase{"VEKTA", 0}, KindCase{"TRILOX", 1}),
                         [](const auto &info) { return std::string(info.param.kind); });

}  // namespace
