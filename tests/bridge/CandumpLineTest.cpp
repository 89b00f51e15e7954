// The candump lines as can-utils writes them: seconds ten digits wide, an
// 11-bit group's identifier held to 11 bits as the CAN socket sends it; and
// python-can and log2asc read the same frames back from them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "bridge/CandumpLine.h"
#include "bridge/WireIdentifier.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

using testing_support::TempDir;

struct LineCase {
    std::string name;
    uint32_t id;  // as the sink hands it, kExtendedFlag for 29 bits
    std::vector<uint8_t> data;
    uint64_t timeUs;
    std::string iface;
    std::string line;
};

const LineCase kLineCases[] = {
    {"SecondsPaddedToTen", 0x123, {}, 1000123, "can0", "(0000000001.000123) can0 123#\n"},
    {"ZeroTime", 0x7FF, {0x00}, 0, "can0", "(0000000000.000000) can0 7FF#00\n"},
    {"TodaysTime", 0x7E8, {0x02, 0x01, 0x0C}, 1765341600123456, "vcan0", "(1765341600.123456) vcan0 7E8#02010C\n"},
    {"PastTenDigitsNotCut", 0x1, {}, 12345678901000000, "can0", "(12345678901.000000) can0 001#\n"},
    {"StandardMaskedToEleven", 0x18DAF1F0, {0xAA}, 1000000, "can0", "(0000000001.000000) can0 1F0#AA\n"},
    {"TwelfthBitDropped", 0xFFF, {}, 1000000, "can0", "(0000000001.000000) can0 7FF#\n"},
    {"Extended", 0x18DAF110 | kExtendedFlag, {0x10, 0x20}, 1000000, "can0", "(0000000001.000000) can0 18DAF110#1020\n"},
    {"ExtendedMaskedTo29", 0xFFFFFFFF, {}, 1000000, "can0", "(0000000001.000000) can0 1FFFFFFF#\n"},
    {"ExtendedSmallIdEightDigits", 0x5 | kExtendedFlag, {}, 1000000, "can0", "(0000000001.000000) can0 00000005#\n"},
    {"EightBytesLongestName",
     0x1FFFFFFF | kExtendedFlag,
     {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23, 0x45, 0x67},
     99999999999999999,
     "fifteencharsnam",
     "(99999999999.999999) fifteencharsnam 1FFFFFFF#DEADBEEF01234567\n"},
};

SinkFrame ToSink(const LineCase &c)
{
    SinkFrame frame;
    frame.id = c.id;
    frame.length = uint8_t(c.data.size());
    std::copy(c.data.begin(), c.data.end(), frame.data);
    frame.timeUs = c.timeUs;
    return frame;
}

std::string Format(const LineCase &c)
{
    char line[vektacand::kMaxCandumpLine];
    return std::string(line, vektacand::FormatCandumpLine(ToSink(c), c.iface, line));
}

void PrintTo(const LineCase &c, std::ostream *out)
{
    *out << c.name;
}

class CandumpLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(CandumpLineTest, WrittenAsCandumpWritesIt)
{
    EXPECT_EQ(Format(GetParam()), GetParam().line);
}

// The socket and the lines take the identifier from one place; here that
// place holds the same identifier the line shows.
TEST_P(CandumpLineTest, SocketIdentifierIsTheLines)
{
    const LineCase &c = GetParam();
    const vektacand::WireIdentifier wire = vektacand::ToWire(c.id);
    const std::string frame = c.line.substr(c.line.rfind(' ') + 1);
    EXPECT_EQ(std::stoul(frame.substr(0, frame.find('#')), nullptr, 16), wire.id);
    EXPECT_EQ(frame.find('#') == 8, wire.extended);
}

INSTANTIATE_TEST_SUITE_P(Lines, CandumpLineTest, ::testing::ValuesIn(kLineCases),
                         [](const auto &info) { return info.param.name; });

// The lines the outside readers know; times of ten digits and less only,
// as a double holds no more than that to the microsecond.
std::string ReadableLines()
{
    std::string text;
    for (const LineCase &c : kLineCases)
        if (c.timeUs < 10000000000000000 && c.iface == "can0")
            text += Format(c);
    return text;
}

TEST(CandumpReadersTest, PythonCanReadsEveryLineBack)
{
    const TempDir dir;
    const std::string file = (dir.path() / "frames.log").string();
    std::ofstream(file) << ReadableLines();
    const auto run = testing_support::RunProgram({VEKTA_DEBIAN_PYTHON, READ_CANDUMP_SCRIPT, file}, dir.path().string());
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream in(run.out);
    size_t read = 0;
    for (const LineCase &c : kLineCases) {
        if (c.timeUs >= 10000000000000000 || c.iface != "can0")
            continue;
        std::string time, id, data;
        int extended = 0, length = 0;
        ASSERT_TRUE(in >> time >> id >> extended >> length) << c.name << "\n" << run.out;
        if (length > 0)
            in >> data;
        const vektacand::WireIdentifier wire = vektacand::ToWire(c.id);
        EXPECT_EQ(std::stoull(time.substr(0, time.find('.'))), c.timeUs / 1000000) << c.name;
        EXPECT_EQ(std::stoul(id, nullptr, 16), wire.id) << c.name;
        EXPECT_EQ(extended != 0, wire.extended) << c.name;
        EXPECT_EQ(size_t(length), c.data.size()) << c.name;
        ++read;
    }
    EXPECT_GT(read, 0u);
}

TEST(CandumpReadersTest, Log2ascTakesEveryLine)
{
    const TempDir dir;
    const std::string file = (dir.path() / "frames.log").string();
    const std::string asc = (dir.path() / "frames.asc").string();
    const std::string lines = ReadableLines();
    std::ofstream(file) << lines;
    const auto run = testing_support::RunProgram({VEKTA_LOG2ASC, "-I", file, "-O", asc, "can0"}, dir.path().string());
    ASSERT_EQ(run.status, 0) << run.err;
    std::ifstream in(asc);
    size_t frames = 0;
    for (std::string text; std::getline(in, text);)
        frames += text.find(" Rx ") != std::string::npos;
    EXPECT_EQ(frames, size_t(std::count(lines.begin(), lines.end(), '\n')));
}

}  // namespace
