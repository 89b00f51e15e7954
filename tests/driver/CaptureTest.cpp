// Whole captures through the kernel's driver, driven through CaptureControl
// as the window drives them: the initialisation on the wire, a real trace
// into the table and the log, a second opener, and the converter pulled out
// and put back during a capture.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <thread>

#include "BenchFixture.h"
#include "common/ErrorText.h"
#include "tests/capture/ExpectedTable.h"
#include "tests/capture/Figures.h"
#include "tests/support/ExpectedWire.h"
#include "tests/support/SimRecord.h"

namespace {

using namespace bench_support;
using namespace testing_support;
using Bytes = std::vector<uint8_t>;

constexpr size_t kFramesToTake = 300;
constexpr auto kRetryPause = std::chrono::milliseconds(300);
constexpr auto kRetrySlack = std::chrono::milliseconds(2000);
constexpr auto kResumeBound = std::chrono::seconds(10);

// VEKTA's first group as 29-bit: 0x7E0 and 0x7E8 with the mark, the mask without it.
const Bytes kFiltersGroup1At29 = {0x53, 0x20, 0x00, 0x40, 0x07, 0xE0, 0x00, 0x40, 0x07, 0xE8, 0xFC, 0x04,
                                  0x00, 0x00, 0xFD, 0x04, 0x00, 0x00, 0xFC, 0x08, 0x00, 0x00, 0xFD, 0x08,
                                  0x00, 0x00, 0x00, 0x00, 0x0F, 0xFF, 0xFF, 0x1C, 0x00, 0x00};

std::vector<Bytes> InitialisationOf(const std::string &kind)
{
    const Bytes timing = {0x55, 0x03, 0x81, 0xFE, 0x03};
    const bool trilox = kind == "trilox";
    std::vector<Bytes> wire = {{0x5F, 0x00}, {0x52, 0x00},      timing, trilox ? kFilters : kFiltersGroup1At29,
                               {0x52, 0x00}, {0x57, 0x01, 0x03}};
    if (trilox)
        wire.insert(wire.begin(), TriloxSetup());
    return wire;
}

std::string Shown(const std::vector<LogLine> &lines, size_t from = 0)
{
    std::string text;
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i].message.rfind("RxD", 0) != 0)
            text += std::to_string(lines[i].stampMs) + ": " + lines[i].message + "\n";
    return text;
}

class WholeCapture : public BenchTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(WholeCapture, InitialisesAndTakesTheTraceIntoTableAndLog)
{
    const BenchAdapter adapter = Adapter(GetParam());
    const size_t recorded = ReadRecord(adapter.record).size();
    {
        CaptureThread thread;
        thread.Start();
        ASSERT_TRUE(WaitFor([] { return TabledFrames() >= kFramesToTake; })) << TabledFrames();
        thread.Stop();
    }
    const auto lines = AllLogLines(dir);
    SCOPED_TRACE("log without the RxD lines:\n" + Shown(lines));
    ASSERT_EQ(CountLines(lines, "Open "), 1u) << "one attempt only";

    // The exact initialisation at the host end; TRILOX's first command at its own rate.
    std::vector<Bytes> wire;
    const auto record = ReadRecord(adapter.record);
    for (size_t i = recorded; i < record.size(); ++i)
        wire.push_back(record[i].bytes);
    EXPECT_EQ(wire, InitialisationOf(adapter.kind));
    if (adapter.kind == "trilox" && record.size() > recorded + 1) {
        EXPECT_EQ(record[recorded].lineRate, testing_support::kTriloxSetupRate);
        EXPECT_NE(record[recorded + 1].lineRate, testing_support::kTriloxSetupRate);
    }

    // Every frame once, in the trace's order; the table holds what the log shows.
    const auto logged = LoggedFrames(lines);
    EXPECT_EQ(UnbrokenRun(logged, ReplayedFrames(adapter)), "");
    const auto expected = ExpectedTable(logged);
    ExpectTable(CaptureControl, expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WholeCapture, ::testing::Values("vekta", "trilox"),
                         [](const auto &info) { return std::string(info.param); });

class SecondOpener : public BenchTest {};

TEST_F(SecondOpener, IsToldThePortIsBusyEvenAsRoot)
{
    Adapter("vekta");
    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }));
    SerialDevice second;
    EXPECT_EQ(second.Open(device), PortBusyError());
    EXPECT_FALSE(second.IsOpen());
    std::printf("[ FIGURE   ] second opener (uid %d): %s\n", static_cast<int>(geteuid()),
                SystemErrorText(PortBusyError()).c_str());
    const uint64_t total = TabledFrames();
    EXPECT_TRUE(WaitFor([total] { return TabledFrames() > total; })) << "the capture goes on";
    thread.Stop();
}

// What the kernel answers on a file of a converter that was pulled out, the
// answers the port's reads and writes rely on; the README lists them.
class PulledOut : public BenchTest {};

TEST_F(PulledOut, ConvertersFileAnswersEndOfFileAndInputOutputErrors)
{
    const BenchAdapter adapter = Adapter("trilox");
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    bool replugged = false;
    std::thread host([&] { replugged = Replug(adapter, std::chrono::seconds(1)); });
    pollfd pfd{fd, POLLIN | POLLOUT, 0};
    ASSERT_TRUE(WaitFor([&] { return ::poll(&pfd, 1, 0) == 1 && (pfd.revents & POLLHUP) != 0; })) << "no hang-up";
    EXPECT_EQ(pfd.revents, POLLIN | POLLOUT | POLLERR | POLLHUP);
    char byte = 0;
    EXPECT_EQ(::read(fd, &byte, 1), 0) << "no end of file";
    errno = 0;
    EXPECT_EQ(::write(fd, "R", 1), -1);
    EXPECT_EQ(errno, EIO);
    int lines = 0;
    errno = 0;
    EXPECT_EQ(::ioctl(fd, TIOCMGET, &lines), -1);
    EXPECT_EQ(errno, EIO);
    // The file goes with the converter's removal, which may finish a moment
    // after the hang-up on a busy machine.
    EXPECT_TRUE(WaitFor([&] { return ::access(device.c_str(), F_OK) != 0; })) << "the device file stays";
    ::close(fd);  // before the replug, so that the converter gets its number back
    host.join();
    EXPECT_TRUE(replugged);
    EXPECT_EQ(ConverterDevice(adapter), device);
}

struct ReplugCase {
    const char *name;
    const char *kind;
    std::chrono::milliseconds away;
};

void PrintTo(const ReplugCase &c, std::ostream *out)
{
    *out << c.name;
}

class Replugged : public BenchTest, public ::testing::WithParamInterface<ReplugCase> {
protected:
    // The attempts between the hang-up and the resumed reception.
    void ExpectRetries(const std::vector<LogLine> &lines, size_t hangUp, size_t resumed)
    {
        for (size_t i = FindLine(lines, "Close ", hangUp), next; i < resumed; i = next) {
            next = FindLine(lines, "Close ", i + 1);
            if (next >= resumed)
                break;
            const auto gap = std::chrono::milliseconds(lines[next].stampMs - lines[i].stampMs);
            EXPECT_GE(gap, kRetryPause) << "between the attempts closed at " << lines[i].stampMs << " and "
                                        << lines[next].stampMs;
            EXPECT_LT(gap, kRetryPause + kRetrySlack);
        }
    }
};

TEST_P(Replugged, LogsTheHangUpRetriesAndResumesOnTheSameName)
{
    const ReplugCase &c = GetParam();
    const BenchAdapter adapter = Adapter(c.kind);
    std::chrono::milliseconds backToReception{};
    {
        CaptureThread thread;
        thread.Start();
        ASSERT_TRUE(WaitFor([] { return TabledFrames() > 0; }));
        ASSERT_TRUE(Replug(adapter, c.away));
        const auto back = std::chrono::steady_clock::now();
        // Resumed: a new attempt receives again.
        EXPECT_TRUE(WaitFor([] { return CaptureControl.state.load() != CaptureState::kReceiving; }));
        EXPECT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }, kResumeBound));
        backToReception =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - back);
        EXPECT_TRUE(WaitFor([] { return TabledFrames() >= kFramesToTake; }, kResumeBound))
            << "sysError " << CaptureControl.sysError.load() << ", the converter now at "
            << ConverterDevice(adapter, std::chrono::milliseconds(0));
        thread.Stop();
    }
    if (HasFailure())
        std::printf("%s", Shown(AllLogLines(dir)).c_str());
    EXPECT_EQ(ConverterDevice(adapter), device) << "the converter came back under another name";
    const auto lines = AllLogLines(dir);
    SCOPED_TRACE("log without the RxD lines:\n" + Shown(lines));
    const std::string open = "Open " + device + " Baud=833333(833333) RTO=1000";
    const size_t hangUp = FindLine(lines, SystemErrorText(InputOutputError()));
    ASSERT_LT(hangUp, lines.size()) << "the hang-up is not logged";
    EXPECT_EQ(lines[hangUp + 1].message, "Close " + device);
    size_t resumed = hangUp;
    for (size_t i = hangUp; (i = FindLine(lines, "Open ", i + 1)) < lines.size();)
        resumed = i;
    ASSERT_GT(resumed, hangUp) << "no attempt after the hang-up opened the port";
    EXPECT_EQ(CountLines(lines, "Open "), CountLines(lines, open)) << "every attempt on " << device;
    // Until the converter is back no attempt opens it; the first that does receives.
    EXPECT_EQ(CountLines(std::vector<LogLine>(lines.begin() + static_cast<long>(hangUp), lines.end()), "Open "), 1u)
        << "an attempt on the returned converter failed";
    ExpectRetries(lines, hangUp, resumed);

    const size_t firstFrame = FindLine(lines, "RxD(CAN): ", resumed);
    ASSERT_LT(firstFrame, lines.size());
    EXPECT_EQ(UnbrokenRun(LoggedFrames(lines, resumed), ReplayedFrames(adapter)), "");
    const auto toResume = std::chrono::milliseconds(lines[firstFrame].stampMs - lines[hangUp].stampMs);
    EXPECT_LT(toResume, kResumeBound);
    std::printf("[ FIGURE   ] %s, away %lld ms: hang-up to reception %lld ms, %zu attempts; converter back to "
                "reception %lld ms\n",
                c.kind, static_cast<long long>(c.away.count()), static_cast<long long>(toResume.count()),
                CountLines(lines, "Close "), static_cast<long long>(backToReception.count()));

    // VEKTA's pulse comes once for every attempt that opened the port: those
    // that logged "Open", and those whose set-up after the pulse met the
    // converter going (an I/O error with no "Open"; a missing port is
    // "No such file or directory" and never pulsed).
    if (adapter.kind == "vekta") {
        size_t pulses = 0;
        for (const TraceEvent &e : LineRequests(trace.Since()))
            pulses += Describe(e) == "DTR on" ? 1 : 0;
        size_t opened = 0;
        bool logged = false;
        for (const LogLine &line : lines) {
            if (line.message.starts_with("Open ")) {
                logged = true;
                ++opened;
            } else if (line.message == SystemErrorText(EIO) && !logged) {
                ++opened;
            } else if (line.message.starts_with("Close ")) {
                logged = false;
            }
        }
        EXPECT_EQ(pulses, opened);
    }
}

INSTANTIATE_TEST_SUITE_P(Replugs, Replugged,
                         ::testing::Values(ReplugCase{"trilox_away_600ms", "trilox", std::chrono::milliseconds(600)},
                                           ReplugCase{"vekta_back_within_100ms", "vekta",
                                                      std::chrono::milliseconds(50)}),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
