// Whole capture runs: the capture thread on CaptureControl, the simulated
// adapter on the other end of a pseudo-terminal, logs in a temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <set>
#include <thread>

#include "ExpectedTable.h"
#include "SimSupport.h"
#include "capture/Unit2.h"
#include "sim/Simulator.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/CaseNames.h"
#include "tests/support/ExpectedWire.h"
#include "tests/support/StepClock.h"

namespace {

using namespace testing_support;
using Bytes = std::vector<uint8_t>;

class CaptureRun : public LoggedRun {};

TEST_F(CaptureRun, MissingPortIsRetriedEvery300MsUntilItAppears)
{
    StepClockInPlace time;
    TempDir links;
    const std::string port = (links.path() / "adapter").string();
    Prepare(port);
    CaptureThread thread;
    thread.Start();
    EXPECT_TRUE(WaitFor([] { return CaptureControl.sysError.load() == ENOENT; }));
    EXPECT_NE(CaptureControl.state.load(), CaptureState::kReceiving);
    // Two more pauses after a failure was seen: the port is found missing
    // twice at least, however slowly this thread saw the first failure.
    const uint32_t seenMs = time.clock.Milliseconds();
    ASSERT_TRUE(WaitFor([&] { return time.clock.Milliseconds() - seenMs >= 2 * 300; }));

    auto options = Quiet();
    options.linkPath = port;
    auto sim = StartSimulator(options);
    ASSERT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }));
    EXPECT_EQ(CaptureControl.sysError.load(), 0u);
    thread.Stop();
    EXPECT_EQ(CaptureControl.flags.load(), FlagWord::kAlive);

    ASSERT_EQ(dir.LogFiles().size(), 1u);
    const auto lines = AllLogLines(dir);
    size_t failures = 0;
    while (failures < lines.size() && lines[failures].message == "No such file or directory")
        failures += 2;
    failures /= 2;
    ASSERT_GE(failures, 2u);
    ASSERT_GT(lines.size(), 2 * failures);
    for (size_t i = 0; i < failures; ++i) {
        EXPECT_EQ(lines[2 * i].message, "No such file or directory");
        EXPECT_EQ(lines[2 * i + 1].message, "Close " + port);
        EXPECT_EQ(lines[2 * i].stampMs, 300 * i) << "attempt " << i;
    }
    EXPECT_EQ(lines[2 * failures].message, "Open " + port + " Baud=833333(833333) RTO=1000");
    EXPECT_EQ(lines[2 * failures].stampMs, 300 * failures + 100);  // logged after VEKTA's 100 ms DTR pulse
}

struct InitCase {
    const char *name;
    vektasim::Kind kind;
    uint32_t canBaud;
    std::vector<Bytes> wire;
    std::vector<uint32_t> lineRates;
    uint32_t radr21 = 0x7E1;  // bit 31 makes group 2 a 29-bit group

    friend void PrintTo(const InitCase &c, std::ostream *os) { *os << c.name; }
};

// Group 2 as 29-bit: 0x18DAF110 and its neighbours, the mask without the mark.
const Bytes kFilters29 = {0x53, 0x20, 0xFC, 0x00, 0x00, 0x00, 0xFD, 0x00, 0x00, 0x00, 0xC6, 0x5A,
                          0xF1, 0x10, 0x00, 0x40, 0x07, 0xE9, 0x00, 0x40, 0x07, 0xE2, 0x00, 0x40,
                          0x07, 0xEA, 0xFF, 0x1C, 0x00, 0x00, 0x00, 0x00, 0x0F, 0xFF};

class Initialisation : public CaptureRun, public ::testing::WithParamInterface<InitCase> {};

TEST_P(Initialisation, SendsTheExactCommandSequence)
{
    const InitCase &c = GetParam();
    auto sim = StartSimulator(Quiet(c.kind));
    Prepare(sim->PortPath());
    CaptureControl.hardware = c.kind == vektasim::Kind::Trilox ? 1 : 0;
    CaptureControl.canBaud = c.canBaud;
    CaptureControl.radr21 = c.radr21;
    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }));
    thread.Stop();

    const auto received = sim->Received();
    std::vector<Bytes> wire;
    std::vector<uint32_t> rates;
    for (const auto &m : received) {
        wire.push_back(m.bytes);
        rates.push_back(m.lineRate);
    }
    EXPECT_EQ(wire, c.wire);
    EXPECT_EQ(rates, c.lineRates);

    const auto messages = AllLogMessages(dir);
    EXPECT_TRUE(Contains(messages, "Open " + sim->PortPath() + " Baud=833333(833333) RTO=1000"));
    const std::string group2 = (c.radr21 & 0x80000000u) ? "29" : "11";
    EXPECT_TRUE(
        Contains(messages, "CAN11 CAN" + group2 + " SPEED=" + std::to_string(c.canBaud) + "b/s SAMP=80% SJW=15%"));
    EXPECT_TRUE(Contains(messages, "--- Start Init Adapter ---"));
    EXPECT_TRUE(Contains(messages, "--- End Init Adapter ---"));
    EXPECT_TRUE(Contains(messages, "TxD: 57 01 03 "));
    EXPECT_EQ(Contains(messages, "SET: BAUD=500000b/s SAMP=80% SJW=15%"), c.canBaud == 500000);
    EXPECT_EQ(CaptureControl.errorKind.load(), ErrorKind::kNone);
}

constexpr uint32_t kLine = 833333;

INSTANTIATE_TEST_SUITE_P(
    Adapters, Initialisation,
    ::testing::Values(
        InitCase{
            "vekta",
            vektasim::Kind::Vekta,
            500000,
            {{0x5F, 0x00}, {0x52, 0x00}, {0x55, 0x03, 0x81, 0xFE, 0x03}, kFilters, {0x52, 0x00}, {0x57, 0x01, 0x03}},
            {kLine, kLine, kLine, kLine, kLine, kLine}},
        InitCase{"trilox",
                 vektasim::Kind::Trilox,
                 500000,
                 {TriloxSetup(),
                  {0x5F, 0x00},
                  {0x52, 0x00},
                  {0x55, 0x03, 0x81, 0xFE, 0x03},
                  kFilters,
                  {0x52, 0x00},
                  {0x57, 0x01, 0x03}},
                 {2000000, kLine, kLine, kLine, kLine, kLine, kLine}},
        InitCase{"trilox_group2_29bit",
                 vektasim::Kind::Trilox,
                 500000,
                 {TriloxSetup(),
                  {0x5F, 0x00},
                  {0x52, 0x00},
                  {0x55, 0x03, 0x81, 0xFE, 0x03},
                  kFilters29,
                  {0x52, 0x00},
                  {0x57, 0x01, 0x03}},
                 {2000000, kLine, kLine, kLine, kLine, kLine, kLine},
                 0x80000000u | 0x18DAF110},
        InitCase{"rate_out_of_range_sends_no_speed",
                 vektasim::Kind::Vekta,
                 15624,
                 {{0x5F, 0x00}, {0x52, 0x00}, kFilters, {0x52, 0x00}, {0x57, 0x01, 0x03}},
                 {kLine, kLine, kLine, kLine, kLine}}),
    CaseName());

TEST_F(CaptureRun, StopDuringTheFirstCommandsSendsNoFilters)
{
    auto sim = StartSimulator(Quiet());
    sim->SetFault(vektasim::Fault::Silence);
    Prepare(sim->PortPath());
    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor([&] { return HasCommand(*sim, 0x5F); }));
    thread.Stop();
    EXPECT_FALSE(HasCommand(*sim, 0x53));
    EXPECT_EQ(dir.LogFiles().size(), 1u);
}

std::string CanLine(const vektasim::CanFrame &f)
{
    char text[64];
    int n = std::snprintf(text, sizeof text, "RxD(CAN): %08X: ", f.id);
    for (int i = 0; i < f.length; ++i)
        n += std::snprintf(text + n, sizeof text - n, "%02X ", f.data[i]);
    return text;
}

std::vector<vektasim::CanFrame> MakeTraffic(bool extended)
{
    std::vector<vektasim::CanFrame> frames;
    for (uint32_t i = 0; i < 600; ++i) {
        vektasim::CanFrame f;
        f.id = extended ? 0x18DA0000 + (i * 7) % 40 : 0x100 + (i * 7) % 40;
        f.extended = extended;
        f.length = static_cast<uint8_t>(i % 9);
        for (int k = 0; k < f.length; ++k)
            f.data[k] = static_cast<uint8_t>(i / 40 + k);
        frames.push_back(f);
    }
    return frames;
}

class FullCapture : public CaptureRun, public ::testing::WithParamInterface<vektasim::Kind> {};

TEST_P(FullCapture, TableAndLogHoldEveryFrameOnce)
{
    const bool trilox = GetParam() == vektasim::Kind::Trilox;
    auto sim = StartSimulator(Quiet(GetParam()));
    sim->SetRecordFrames(true);
    Prepare(sim->PortPath());
    CaptureControl.hardware = trilox ? 1 : 0;
    CaptureControl.adapterLog = false;
    const auto frames = MakeTraffic(trilox);
    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor([&] { return sim->Streaming(); }));
    sim->QueueFrames(frames);

    // Read the table while reception writes it, as the window does.
    // A published row is a filled one: it has counted its first frame.
    std::atomic<bool> done{false};
    std::thread painter([&] {
        size_t unfilled = 0;
        while (!done.load()) {
            const uint16_t n = CaptureControl.frameCount.load(std::memory_order_acquire);
            for (uint16_t i = 0; i < n; ++i)
                unfilled += CaptureControl.frames[i].count == 0 ? 1 : 0;
        }
        EXPECT_EQ(unfilled, 0u);
    });
    const auto expected = ExpectedTable(frames);
    uint32_t expectedTotal = 0;
    for (const auto &row : expected)
        expectedTotal += row.count;
    const bool complete = WaitFor([&] {
        uint32_t total = 0;
        for (uint16_t i = 0; i < CaptureControl.frameCount.load(); ++i)
            total += CaptureControl.frames[i].count;
        return total == expectedTotal;
    });
    done = true;
    painter.join();
    ASSERT_TRUE(complete);

    ASSERT_NO_FATAL_FAILURE(ExpectTable(CaptureControl, expected));
    thread.Stop();

    std::vector<std::string> canLines;
    for (const auto &m : AllLogMessages(dir))
        if (m.rfind("RxD(CAN): ", 0) == 0)
            canLines.push_back(m);
    std::vector<std::string> sent;
    for (const auto &f : sim->SentFrames())
        if (f.length > 0)
            sent.push_back(CanLine(f));
    EXPECT_EQ(canLines, sent);
}

INSTANTIATE_TEST_SUITE_P(Adapters, FullCapture, ::testing::Values(vektasim::Kind::Vekta, vektasim::Kind::Trilox),
                         PrintedName());

TEST_F(CaptureRun, CutWritesAFileAndTheNextStretchOpensWithContinueLines)
{
    auto sim = StartSimulator(Quiet());
    Prepare(sim->PortPath());
    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }));
    thread.Cut();
    ASSERT_TRUE(WaitFor([] { return (CaptureControl.flags.load() & FlagWord::kCutLog) == 0; }));
    EXPECT_EQ(dir.LogFiles().size(), 1u);
    const size_t firstStretch = AllLogMessages(dir).size();
    thread.Stop();

    const auto messages = AllLogMessages(dir);
    ASSERT_GT(messages.size(), firstStretch + 2);
    EXPECT_EQ(messages[firstStretch], "Continue " + sim->PortPath() + " Baud=833333(833333) RTO=1000 RTS=ON");
    EXPECT_EQ(messages[firstStretch + 1], "CAN11 CAN11 SPEED=500000b/s SAMP=80% SJW=15%");
    EXPECT_EQ(messages.back(), "Close " + sim->PortPath());
}

class SilentBusStop : public CaptureRun, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(SilentBusStop, EndsTheRunWithinTheReceiveWait)
{
    auto sim = StartSimulator(Quiet());
    Prepare(sim->PortPath());
    CaptureControl.rto = GetParam();
    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }));
    CaptureControl.flags.store(FlagWord::kAlive);
    // A bound far above the wait: a Stop that is never seen would hang here.
    EXPECT_TRUE(WaitFor([] { return CaptureControl.runsEnded.load() == 1; }, std::chrono::seconds(5)));
    EXPECT_EQ(dir.LogFiles().size(), 1u);
}

// 0 and a "negative" RTO are waited for as 1 ms and 10 s at most.
INSTANTIATE_TEST_SUITE_P(Waits, SilentBusStop, ::testing::Values(1000u, 0u), PrintedName());

TEST_F(CaptureRun, EndHandshakeFromIdleAndFromARun)
{
    Prepare("unused");
    {
        CaptureThread idle;
        EXPECT_TRUE(idle.End());
    }
    auto sim = StartSimulator(Quiet());
    Prepare(sim->PortPath());
    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }));
    EXPECT_TRUE(thread.End());
    EXPECT_EQ(CaptureControl.state.load(), CaptureState::kIdle);
    const auto messages = AllLogMessages(dir);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "Close " + sim->PortPath());
    // The timer lines of the thread's start and end never reach a file.
    for (const auto &m : messages)
        EXPECT_EQ(m.find("System Timer"), std::string::npos) << m;
}

TEST_F(CaptureRun, StartWrittenBeforeTheThreadComesUpStands)
{
    auto sim = StartSimulator(Quiet());
    Prepare(sim->PortPath());
    CaptureControl.flags.store(FlagWord::kStart);
    TC1 *t = new TC1(true);
    t->Control = &CaptureControl;
    t->Start();
    EXPECT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }));
    CaptureControl.flags.store(FlagWord::kAlive);
    EXPECT_TRUE(WaitFor([] { return CaptureControl.runsEnded.load() == 1; }));
    CaptureControl.flags.store(FlagWord::kEnd);
    EXPECT_TRUE(WaitFor([] { return CaptureControl.flags.load() == FlagWord::kThreadEnded; }));
}

TEST_F(CaptureRun, ThreadOnARecordStillZeroFilledGoesIdle)
{
    ResetControl(CaptureControl);
    TC1 *t = new TC1(true);
    t->Control = &CaptureControl;
    t->Start();
    EXPECT_TRUE(WaitFor([] { return CaptureControl.flags.load() == FlagWord::kAlive; }));
    CaptureControl.flags.store(FlagWord::kEnd);
    EXPECT_TRUE(WaitFor([] { return CaptureControl.flags.load() == FlagWord::kThreadEnded; }));
}

TEST_F(CaptureRun, UnplugDuringReceptionIsLoggedAndReplugResumes)
{
    TempDir links;
    auto options = Quiet();
    options.traffic = vektasim::Traffic::Generator;
    options.linkPath = (links.path() / "adapter").string();
    auto sim = StartSimulator(options);
    Prepare(sim->PortPath());
    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor([] { return CaptureControl.frameCount.load() > 0; }));

    sim->Unplug();
    ASSERT_TRUE(WaitFor([] { return CaptureControl.state.load() != CaptureState::kReceiving; }));
    std::string error;
    ASSERT_TRUE(sim->Replug(error)) << error;
    ASSERT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }));
    ASSERT_TRUE(WaitFor([] { return CaptureControl.frameCount.load() > 0; }));
    thread.Stop();

    const auto messages = AllLogMessages(dir);
    EXPECT_TRUE(Contains(messages, "Input/output error"));
    EXPECT_GE(CountOf(messages, "--- End Init Adapter ---"), 2u);
}

}  // namespace
