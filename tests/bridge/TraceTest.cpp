// A real trace replayed by the simulator comes out of vektacand --candump
// whole: every frame, in order, identifier, width and data exact, with times
// that never go back; python-can and can-utils' log2asc read it back; SIGTERM
// ends the run with exit 0 and the capture log written.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "BridgeProcess.h"
#include "sim/Simulator.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"
#include "tests/support/Waiting.h"

namespace {

using namespace testing_support;
using bridge_test::BridgeProcess;

constexpr auto kCaptureSlack = std::chrono::seconds(60);

struct TraceCase {
    std::string name;
    std::string trace;
    vektasim::Kind kind;
    std::vector<std::string> options;
    std::string iface;  // as the lines name it
};

const TraceCase kTraceCases[] = {
    {"TruckTrilox29", "truck-j1939-engine-on.log", vektasim::Kind::Trilox, {"--adapter", "TRILOX"}, "can0"},
    {"TruckVektaGroup29", "truck-j1939-engine-on.log", vektasim::Kind::Vekta, {"--group1-bits", "29"}, "can0"},
    {"ObdVekta11", "ev-obd2-scan.log", vektasim::Kind::Vekta, {}, "can0"},
};

struct Line {
    uint64_t timeUs = 0;
    std::string iface;
    uint32_t id = 0;
    bool extended = false;
    std::string data;
};

std::vector<Line> ParseLines(const std::string &text)
{
    std::vector<Line> lines;
    std::istringstream in(text);
    for (std::string time, iface, frame; in >> time >> iface >> frame;) {
        Line line;
        EXPECT_EQ(time.size(), time.find('.') + 8) << time << ": six decimals in brackets";
        line.timeUs =
            std::stoull(time.substr(1, time.find('.') - 1)) * 1000000 + std::stoull(time.substr(time.find('.') + 1, 6));
        line.iface = iface;
        const size_t hash = frame.find('#');
        line.extended = hash == 8;
        EXPECT_TRUE(hash == 3 || hash == 8) << frame;
        line.id = uint32_t(std::stoul(frame.substr(0, hash), nullptr, 16));
        line.data = frame.substr(hash + 1);
        lines.push_back(line);
    }
    return lines;
}

std::string Hex(const vektasim::CanFrame &frame)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (uint8_t i = 0; i < frame.length; ++i)
        text.append(1, kDigits[frame.data[i] >> 4]).append(1, kDigits[frame.data[i] & 0x0F]);
    return text;
}

// python-can's CanutilsLogReader: "time id extended length data" a line.
void ExpectPythonCan(const std::string &candump, const std::vector<Line> &lines, const TempDir &work)
{
    const ProgramRun run = RunProgram({VEKTA_DEBIAN_PYTHON, READ_CANDUMP_SCRIPT, candump}, work.path().string());
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream in(run.out);
    size_t i = 0;
    for (std::string time, id, data; in >> time >> id;) {
        int extended = 0, length = 0;
        in >> extended >> length;
        data.clear();
        if (length > 0)
            in >> data;
        ASSERT_LT(i, lines.size());
        const uint64_t timeUs =
            std::stoull(time.substr(0, time.find('.'))) * 1000000 + std::stoull(time.substr(time.find('.') + 1));
        // A double holds 16 digits: the last microsecond may round.
        ASSERT_LE(timeUs > lines[i].timeUs ? timeUs - lines[i].timeUs : lines[i].timeUs - timeUs, 1u) << "frame " << i;
        ASSERT_EQ(std::stoul(id, nullptr, 16), lines[i].id) << "frame " << i;
        ASSERT_EQ(extended != 0, lines[i].extended) << "frame " << i;
        ASSERT_EQ(data, lines[i].data) << "frame " << i;
        ++i;
    }
    EXPECT_EQ(i, lines.size());
}

// can-utils' log2asc: "   0.000404 1  7DF             Rx   d 2 02 01".
void ExpectLog2asc(const std::string &candump, const std::vector<Line> &lines, const TempDir &work)
{
    const std::string asc = (work.path() / "frames.asc").string();
    const ProgramRun run = RunProgram({VEKTA_LOG2ASC, "-I", candump, "-O", asc, "can0"}, work.path().string());
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream in(testing_support::ReadFile(asc));
    size_t i = 0;
    for (std::string text; std::getline(in, text);) {
        std::istringstream fields(text);
        std::string time, channel, id, direction, kind;
        int length = 0;
        if (!(fields >> time >> channel >> id >> direction >> kind >> length) || direction != "Rx")
            continue;
        ASSERT_LT(i, lines.size());
        const bool extended = id.back() == 'x';
        ASSERT_EQ(std::stoul(extended ? id.substr(0, id.size() - 1) : id, nullptr, 16), lines[i].id) << "frame " << i;
        ASSERT_EQ(extended, lines[i].extended) << "frame " << i;
        std::string data;
        for (std::string byte; length-- > 0 && fields >> byte;)
            data += byte;
        ASSERT_EQ(data, lines[i].data) << "frame " << i;
        ++i;
    }
    EXPECT_EQ(i, lines.size());
}

void PrintTo(const TraceCase &c, std::ostream *out)
{
    *out << c.name;
}

class TraceTest : public ::testing::TestWithParam<TraceCase> {};

TEST_P(TraceTest, ComesOutWholeAndIsReadBack)
{
    const TraceCase &c = GetParam();
    std::vector<vektasim::CanFrame> trace;
    std::string error;
    ASSERT_TRUE(vektasim::LoadCandump(std::string(VEKTA_TRACES_DIR) + "/" + c.trace, trace, error)) << error;
    vektasim::Options options;
    options.kind = c.kind;
    options.traffic = vektasim::Traffic::Replay;
    options.replayFile = std::string(VEKTA_TRACES_DIR) + "/" + c.trace;
    options.replayFast = true;
    options.frameLimit = trace.size();
    vektasim::Simulator simulator(options);
    ASSERT_TRUE(simulator.Start(error)) << error;

    const TempDir dir;
    std::vector<std::string> args = {"--candump", "--can-log", "--log-dir", dir.path().string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(simulator.PortPath());
    BridgeProcess bridge(args, dir.path().string());
    ASSERT_TRUE(bridge.Started());
    ASSERT_TRUE(WaitFor([&] { return bridge.OutLines() >= trace.size(); }, kCaptureSlack))
        << bridge.OutLines() << " of " << trace.size() << "\n"
        << bridge.Err();
    bridge.Signal(SIGTERM);
    ASSERT_EQ(bridge.WaitExit(), 0) << bridge.Err();
    simulator.Stop();

    const std::vector<Line> lines = ParseLines(bridge.Out());
    ASSERT_EQ(lines.size(), trace.size());
    for (size_t i = 0; i < trace.size(); ++i) {
        ASSERT_EQ(lines[i].iface, c.iface);
        ASSERT_EQ(lines[i].id, trace[i].id) << "frame " << i;
        ASSERT_EQ(lines[i].extended, trace[i].extended) << "frame " << i;
        ASSERT_EQ(lines[i].data, Hex(trace[i])) << "frame " << i;
        if (i > 0) {
            ASSERT_GE(lines[i].timeUs, lines[i - 1].timeUs) << "frame " << i;
        }
    }
    const std::string err = bridge.Err();
    EXPECT_NE(err.find("SIGTERM"), std::string::npos) << err;
    EXPECT_NE(err.find(std::to_string(trace.size()) +
                       " frames received; standard output: " + std::to_string(trace.size()) + " forwarded, 0 dropped"),
              std::string::npos)
        << err;
    // The capture log as the window writes it, every frame in it.
    ASSERT_EQ(dir.LogFiles().size(), 1u);
    std::ifstream log(dir.LogFiles()[0]);
    size_t logged = 0;
    for (std::string text; std::getline(log, text);)
        logged += text.find(": RxD(CAN): ") != std::string::npos;
    EXPECT_EQ(logged, trace.size());

    // python-can knows the format by the name's ending.
    const TempDir work;
    const std::string candump = (work.path() / "frames.log").string();
    std::filesystem::copy_file(dir.path() / "bridge.out", candump);
    ExpectPythonCan(candump, lines, work);
    ExpectLog2asc(candump, lines, work);
}

INSTANTIATE_TEST_SUITE_P(Traces, TraceTest, ::testing::ValuesIn(kTraceCases),
                         [](const auto &info) { return info.param.name; });

}  // namespace
