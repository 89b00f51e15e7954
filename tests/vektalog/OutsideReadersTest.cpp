// A real trace replayed by the simulator, captured by the capture thread,
// converted by vektalog and read back by python-can and can-utils' log2asc.
//
// Timing. The conversion itself is checked exactly: every frame's time as the
// readers give it is its stretch's start plus its log stamp, to the
// microsecond. Against the trace, the path simulator -> pseudo-terminal ->
// capture thread only ever delays a frame, by as much as the machine's load
// makes it; a per-frame tolerance there would test the scheduler, not the
// conversion. So the check is one-sided where it is certain: the simulator
// starts the trace's clock when it has the last initialisation command, so
// no frame may lie earlier after that command's log line (or, without
// "Adapter LOG", after "Open") than the trace says, less the log's 1 ms
// rounding, and after a cut less what the names' seconds leave open.
// Lateness gets a generous bound that catches gross faults (a time base
// lost, a stretch seconds out of place), never a busy machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <sstream>

#include "capture/AdapterEncoding.h"
#include "sim/Simulator.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/RunProgram.h"
#include "vektalog/LogName.h"

namespace {

using namespace testing_support;

constexpr int64_t kUsPerMs = 1000;
constexpr int64_t kUsPerSecond = 1000000;
// The log's stamps drop the part of a millisecond.
constexpr int64_t kStampRoundingUs = kUsPerMs;
// How late a frame may be logged on a loaded machine or under a sanitizer
// (seen: 0.84 s with a load of 12 on two cores).
constexpr int64_t kLatencyAllowanceUs = 10 * kUsPerSecond;
// Across a cut: the names' second, plus the write's own time and the moments
// between the last line and the write, which a loaded machine stretches.
constexpr int64_t kCutAllowanceUs = 3 * kUsPerSecond;
constexpr auto kCaptureSlack = std::chrono::seconds(60);

struct ReplayCase {
    std::string name;
    std::string trace;  // in the traces folder
    size_t frames;      // the first so many of it are replayed
    vektasim::Kind kind;
    bool group1Extended;
    bool adapterLog;
    size_t cutAfter;  // cut the log once so many were sent; 0: no cut
};

const ReplayCase kReplayCases[] = {
    {"TruckTriloxAdapterLogCut", "truck-j1939-engine-on.log", 9950, vektasim::Kind::Trilox, false, true, 5000},
    {"TruckVekta29CanLogOnly", "truck-j1939-engine-on.log", 9950, vektasim::Kind::Vekta, true, false, 0},
    {"ObdVekta11AdapterLogCut", "ev-obd2-scan.log", 80, vektasim::Kind::Vekta, false, true, 40},
};

// A frame as an outside reader gave it back.
struct ReadFrame {
    int64_t timeUs = 0;  // python-can: since 1970; log2asc: since the first frame
    uint32_t id = 0;
    bool extended = false;
    std::string data;  // upper-case hex
};

// What the capture logs say, read here on their own terms.
struct LoggedFrame {
    size_t stretch = 0;
    int64_t stampMs = 0;
    size_t file = 0;
};
struct CaptureLogs {
    std::vector<std::string> files;  // in the order written
    std::vector<LoggedFrame> frames;
    int64_t anchorMs = 0;   // stamp of the last initialisation command, or of the first "Open"
    int64_t startedUs = 0;  // wall clock before Start
};

int64_t WallClockUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

std::string Hex(const uint8_t *bytes, size_t count)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text.append(1, kDigits[bytes[i] >> 4]).append(1, kDigits[bytes[i] & 0x0F]);
    return text;
}

uint64_t FramesCounted()
{
    uint64_t sum = 0;
    const uint16_t rows = CaptureControl.frameCount.load(std::memory_order_acquire);
    for (uint16_t i = 0; i < rows; ++i)
        sum += CaptureControl.frames[i].count;
    return sum;
}

std::vector<std::string> FilesInOrderWritten(const TempDir &dir)
{
    std::vector<std::string> files;
    for (const auto &path : dir.LogFiles())
        files.push_back(path.string());
    std::sort(files.begin(), files.end(), [](const std::string &a, const std::string &b) {
        return vektalog::LogNameTime(a).value_or(0) < vektalog::LogNameTime(b).value_or(0);
    });
    return files;
}

void ReadLogsOurselves(CaptureLogs &logs)
{
    size_t stretch = 0;
    std::optional<int64_t> lastCommandMs, openMs;
    for (size_t file = 0; file < logs.files.size(); ++file) {
        std::istringstream text(ReadFile(logs.files[file]));
        std::string line;
        for (bool first = true; std::getline(text, line); first = false) {
            const int64_t stamp = std::stoll(line.substr(0, 10));
            const std::string message = line.substr(12, line.size() - 13);  // without ": " and CR
            if (message.starts_with("Continue ") && !(first && file == 0))
                ++stretch;
            if (message.starts_with("RxD(CAN): "))
                logs.frames.push_back({stretch, stamp, file});
            if (message == "TxD: 57 01 03 ")
                lastCommandMs = stamp;
            if (message.starts_with("Open ") && !openMs)
                openMs = stamp;
        }
    }
    ASSERT_TRUE(openMs);
    logs.anchorMs = lastCommandMs.value_or(*openMs);
}

CaptureLogs Capture(const ReplayCase &c, const TempDir &dir)
{
    vektasim::Options options;
    options.kind = c.kind;
    options.traffic = vektasim::Traffic::Replay;
    options.replayFile = std::string(VEKTA_TRACES_DIR) + "/" + c.trace;
    options.frameLimit = c.frames;
    vektasim::Simulator simulator(options);
    std::string error;
    EXPECT_TRUE(simulator.Start(error)) << error;
    PrepareControl(CaptureControl, dir, simulator.PortPath());
    CaptureControl.hardware = c.kind == vektasim::Kind::Trilox ? 1 : 0;
    CaptureControl.adapterLog = c.adapterLog;
    if (c.group1Extended)
        CaptureControl.radr11 = CaptureControl.radr11 | kExtendedFlag;
    CaptureLogs logs;
    {
        CaptureThread capture;
        logs.startedUs = WallClockUs();
        capture.Start();
        if (c.cutAfter > 0) {
            EXPECT_TRUE(WaitFor([&] { return simulator.FramesSent() >= c.cutAfter; }, kCaptureSlack));
            capture.Cut();
            EXPECT_TRUE(WaitFor([&] { return !dir.LogFiles().empty(); }));
        }
        EXPECT_TRUE(WaitFor([&] { return FramesCounted() == c.frames; }, kCaptureSlack))
            << FramesCounted() << " of " << c.frames << " frames logged";
        capture.Stop();
    }
    simulator.Stop();
    logs.files = FilesInOrderWritten(dir);
    ReadLogsOurselves(logs);
    return logs;
}

std::vector<ReadFrame> ReadWithPythonCan(const std::string &candump, const TempDir &work)
{
    const ProgramRun run = RunProgram({VEKTA_DEBIAN_PYTHON, READ_CANDUMP_SCRIPT, candump}, work.path().string());
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<ReadFrame> frames;
    std::istringstream lines(run.out);
    std::string time, id, data;
    int extended = 0, length = 0;
    while (lines >> time >> id >> extended >> length) {
        if (length > 0)
            lines >> data;
        else
            data.clear();
        const size_t dot = time.find('.');
        frames.push_back({std::stoll(time.substr(0, dot)) * kUsPerSecond + std::stoll(time.substr(dot + 1)),
                          static_cast<uint32_t>(std::stoul(id, nullptr, 16)), extended != 0, data});
    }
    return frames;
}

// "   0.000404 1  7DF             Rx   d 2 02 01"
std::vector<ReadFrame> ReadWithLog2asc(const std::string &candump, const TempDir &work)
{
    const std::string asc = (work.path() / "frames.asc").string();
    const ProgramRun run = RunProgram({VEKTA_LOG2ASC, "-I", candump, "-O", asc, "can0"}, work.path().string());
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<ReadFrame> frames;
    std::istringstream lines(ReadFile(asc));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string time, channel, id, direction, kind;
        int length = 0;
        if (!(fields >> time >> channel >> id >> direction >> kind >> length) || direction != "Rx")
            continue;
        ReadFrame frame;
        const size_t dot = time.find('.');
        frame.timeUs = std::stoll(time.substr(0, dot)) * kUsPerSecond + std::stoll(time.substr(dot + 1));
        frame.extended = id.back() == 'x';
        frame.id = static_cast<uint32_t>(std::stoul(frame.extended ? id.substr(0, id.size() - 1) : id, nullptr, 16));
        for (std::string byte; length-- > 0 && fields >> byte;)
            frame.data += byte;
        frames.push_back(frame);
    }
    return frames;
}

void ExpectTraceFrames(const std::vector<ReadFrame> &read, const std::vector<vektasim::CanFrame> &trace,
                       const std::string &reader)
{
    ASSERT_EQ(read.size(), trace.size()) << reader;
    for (size_t i = 0; i < trace.size(); ++i) {
        ASSERT_EQ(read[i].id, trace[i].id) << reader << ", frame " << i;
        ASSERT_EQ(read[i].extended, trace[i].extended) << reader << ", frame " << i;
        ASSERT_EQ(read[i].data, Hex(trace[i].data, trace[i].length)) << reader << ", frame " << i;
    }
}

// The readers' times are the log's stamps, each stretch in one piece, and
// no frame lies after its file was written or long before the capture began.
void ExpectLogTimes(const std::vector<ReadFrame> &read, const CaptureLogs &logs)
{
    ASSERT_EQ(read.size(), logs.frames.size());
    size_t first = 0;
    for (size_t i = 0; i < read.size(); ++i) {
        const LoggedFrame &frame = logs.frames[i];
        if (frame.stretch != logs.frames[first].stretch)
            first = i;
        ASSERT_EQ(read[i].timeUs - read[first].timeUs, (frame.stampMs - logs.frames[first].stampMs) * kUsPerMs)
            << "frame " << i;
        const int64_t writtenUs = *vektalog::LogNameTime(logs.files[frame.file]) * kUsPerSecond;
        ASSERT_LT(read[i].timeUs, writtenUs + kUsPerSecond) << "frame " << i;
        ASSERT_GE(read[i].timeUs, logs.startedUs - kCutAllowanceUs) << "frame " << i;
        if (i > 0) {
            ASSERT_GE(read[i].timeUs, read[i - 1].timeUs) << "frame " << i;
        }
    }
}

// How much later than the trace says each frame lies after the adapter was
// told to stream; prints the spread in the first stretch as a figure.
void ExpectTraceTiming(const std::vector<ReadFrame> &read, const CaptureLogs &logs,
                       const std::vector<vektasim::CanFrame> &trace)
{
    const int64_t anchorUs = read[0].timeUs - (logs.frames[0].stampMs - logs.anchorMs) * kUsPerMs;
    std::vector<int64_t> firstStretch;
    for (size_t i = 0; i < read.size(); ++i) {
        const int64_t lateUs = read[i].timeUs - anchorUs - static_cast<int64_t>(trace[i].timeUs);
        const int64_t allowanceUs = logs.frames[i].stretch == 0 ? 0 : kCutAllowanceUs;
        ASSERT_GT(lateUs, -kStampRoundingUs - allowanceUs) << "frame " << i << " came before its time";
        ASSERT_LT(lateUs, kLatencyAllowanceUs + allowanceUs) << "frame " << i;
        if (logs.frames[i].stretch == 0)
            firstStretch.push_back(lateUs);
    }
    std::sort(firstStretch.begin(), firstStretch.end());
    const int64_t least = firstStretch.front();
    const auto within = std::count_if(firstStretch.begin(), firstStretch.end(),
                                      [least](int64_t late) { return late - least <= kUsPerMs; });
    std::cout << "first stretch: " << firstStretch.size() << " frames, lateness " << least << " to "
              << firstStretch.back() << " us, median " << firstStretch[firstStretch.size() / 2] << " us; " << within
              << " within 1 ms of the least\n";
}

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ReplayCase &c, std::ostream *out)
{
    *out << c.name;
}

class OutsideReadersTest : public ::testing::TestWithParam<ReplayCase> {};

TEST_P(OutsideReadersTest, ReadTheTraceBack)
{
    const ReplayCase &c = GetParam();
    std::vector<vektasim::CanFrame> trace;
    std::string error;
    ASSERT_TRUE(vektasim::LoadCandump(std::string(VEKTA_TRACES_DIR) + "/" + c.trace, trace, error)) << error;
    ASSERT_GE(trace.size(), c.frames);
    trace.resize(c.frames);

    const TempDir dir;
    const CaptureLogs logs = Capture(c, dir);
    ASSERT_EQ(logs.frames.size(), c.frames);
    ASSERT_EQ(logs.frames.back().stretch, c.cutAfter > 0 ? 1u : 0u);

    const TempDir work;
    const std::string candump = (work.path() / "frames.log").string();
    std::vector<std::string> args = {VEKTALOG_PROGRAM, "candump"};
    args.insert(args.end(), logs.files.begin(), logs.files.end());
    const ProgramRun converted = RunProgram(args, work.path().string(), candump);
    ASSERT_EQ(converted.status, 0) << converted.err;

    const std::vector<ReadFrame> python = ReadWithPythonCan(candump, work);
    ExpectTraceFrames(python, trace, "python-can");
    ExpectLogTimes(python, logs);
    ExpectTraceTiming(python, logs, trace);

    const std::vector<ReadFrame> asc = ReadWithLog2asc(candump, work);
    ExpectTraceFrames(asc, trace, "log2asc");
    for (size_t i = 0; i < asc.size(); ++i)
        ASSERT_EQ(asc[i].timeUs, python[i].timeUs - python[0].timeUs) << "log2asc, frame " << i;
}

INSTANTIATE_TEST_SUITE_P(Traces, OutsideReadersTest, ::testing::ValuesIn(kReplayCases),
                         [](const auto &info) { return info.param.name; });

}  // namespace
