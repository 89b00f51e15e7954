// Reading candump -l files: good lines, bad lines with their place, and the
// real traces.
#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <set>

#include "SimTestSupport.h"
#include "tests/support/CaseNames.h"

namespace {

using namespace simtest;
using vektasim::CanFrame;

std::string WriteTrace(const TempDir &dir, const std::string &text)
{
    const std::string path = (dir.path() / "trace.log").string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

struct GoodLine {
    const char *name;
    std::string line;
    uint32_t id;
    bool extended;
    Bytes data;
};

void PrintTo(const GoodLine &c, std::ostream *out)
{
    *out << c.name << ": " << ::testing::PrintToString(c.line);
}

class CandumpGoodLine : public ::testing::TestWithParam<GoodLine> {};

TEST_P(CandumpGoodLine, GivesTheFrame)
{
    const GoodLine &c = GetParam();
    TempDir dir;
    std::vector<CanFrame> frames;
    std::string error;
    ASSERT_TRUE(vektasim::LoadCandump(WriteTrace(dir, c.line + "\n"), frames, error)) << error;
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].id, c.id);
    EXPECT_EQ(frames[0].extended, c.extended);
    EXPECT_EQ(Bytes(frames[0].data, frames[0].data + frames[0].length), c.data);
    EXPECT_EQ(frames[0].timeUs, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CandumpGoodLine,
    ::testing::Values(
        GoodLine{"extended",
                 "(1626905042.645596) can1 0CF00400#507D8DD11200F48E",
                 0x0CF00400,
                 true,
                 {0x50, 0x7D, 0x8D, 0xD1, 0x12, 0x00, 0xF4, 0x8E}},
        GoodLine{"standard", "(7254.438300) can1 7DF#0201000000000000", 0x7DF, false, {2, 1, 0, 0, 0, 0, 0, 0}},
        GoodLine{"no_data", "(1.000000) can0 123#", 0x123, false, {}},
        GoodLine{"lower_case", "(1.5) vcan0 1abcdef0#0a0B", 0x1ABCDEF0, true, {0x0A, 0x0B}},
        GoodLine{"carriage_return", "(1.000000) can0 7E8#01\r", 0x7E8, false, {0x01}},
        GoodLine{"highest_ids", "(0.000001) can0 7FF#FF", 0x7FF, false, {0xFF}}),
    testing_support::CaseName());

struct BadLine {
    const char *name;
    std::string text;
    std::string message;  // after "path:"
};

void PrintTo(const BadLine &c, std::ostream *out)
{
    *out << c.name << ": " << c.message;
}

class CandumpBadLine : public ::testing::TestWithParam<BadLine> {};

TEST_P(CandumpBadLine, NamesTheFileLineAndProblem)
{
    const BadLine &c = GetParam();
    TempDir dir;
    const std::string path = WriteTrace(dir, c.text);
    std::vector<CanFrame> frames;
    std::string error;
    EXPECT_FALSE(vektasim::LoadCandump(path, frames, error));
    EXPECT_EQ(error, path + ":" + c.message);
}

const std::string kFirst = "(10.000000) can0 100#01\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, CandumpBadLine,
    ::testing::Values(BadLine{"identifier_not_hex", kFirst + "(10.1) can0 XYZ#00\n", "2: bad identifier \"XYZ\""},
                      BadLine{"identifier_four_digits", kFirst + "(10.1) can0 1234#00\n", "2: bad identifier \"1234\""},
                      BadLine{"standard_above_7ff", "(1.0) can0 800#00\n", "1: bad identifier \"800\""},
                      BadLine{"extended_above_29_bits", "(1.0) can0 20000000#00\n", "1: bad identifier \"20000000\""},
                      BadLine{"odd_data", kFirst + "\n(10.2) can0 123#ABC\n", "3: bad data \"ABC\""},
                      BadLine{"nine_bytes", "(1.0) can0 123#010203040506070809\n",
                              "1: bad data \"010203040506070809\""},
                      BadLine{"remote_frame", "(1.0) can0 123#R\n", "1: bad data \"R\""},
                      BadLine{"no_hash", "(1.0) can0 123\n", "1: missing '#' in \"123\""},
                      BadLine{"stamp_without_parens", "1.0 can0 123#00\n", "1: bad time stamp \"1.0\""},
                      BadLine{"stamp_without_fraction", "(1) can0 123#00\n", "1: bad time stamp \"(1)\""},
                      BadLine{"too_few_fields", "(1.0) 123#00\n", "1: expected \"(time) interface ID#DATA\""},
                      BadLine{"too_many_fields", "(1.0) can0 123#00 R\n", "1: expected \"(time) interface ID#DATA\""},
                      BadLine{"backwards", kFirst + "(9.999999) can0 100#01\n", "2: time stamp goes backwards"}),
    testing_support::CaseName());

TEST(Candump, TimesCountFromTheFirstFrameToTheMicrosecond)
{
    TempDir dir;
    std::vector<CanFrame> frames;
    std::string error;
    ASSERT_TRUE(vektasim::LoadCandump(
        WriteTrace(dir, "(1626905042.645596) can1 100#\n\n(1626905042.646721) can1 100#\n(1626905043.5) can1 100#\n"),
        frames, error))
        << error;
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].timeUs, 0u);
    EXPECT_EQ(frames[1].timeUs, 1125u);
    EXPECT_EQ(frames[2].timeUs, 854404u);
}

TEST(Candump, MissingFileIsNamed)
{
    std::vector<CanFrame> frames;
    std::string error;
    EXPECT_FALSE(vektasim::LoadCandump("/nonexistent/trace.log", frames, error));
    EXPECT_EQ(error.rfind("/nonexistent/trace.log: ", 0), 0u) << error;
}

struct TraceCase {
    const char *name;
    const char *file;
    size_t frames;
    size_t ids;
    bool extended;
    uint64_t spanSeconds;
};

void PrintTo(const TraceCase &c, std::ostream *out)
{
    *out << c.name << ": " << c.file;
}

class RealTrace : public ::testing::TestWithParam<TraceCase> {};

TEST_P(RealTrace, LoadsWithTheCountsItsReadmeGives)
{
    const TraceCase &c = GetParam();
    std::vector<CanFrame> frames;
    std::string error;
    ASSERT_TRUE(vektasim::LoadCandump(kTraces + "/" + c.file, frames, error)) << error;
    EXPECT_EQ(frames.size(), c.frames);
    std::set<uint32_t> ids;
    for (const CanFrame &f : frames) {
        ids.insert(f.id);
        EXPECT_EQ(f.extended, c.extended);
    }
    EXPECT_EQ(ids.size(), c.ids);
    EXPECT_EQ((frames.back().timeUs + 500000) / 1000000, c.spanSeconds);
}

INSTANTIATE_TEST_SUITE_P(Traces, RealTrace,
                         ::testing::Values(TraceCase{"truck", "truck-j1939-engine-on.log", 9950, 140, true, 12},
                                           TraceCase{"obd", "ev-obd2-scan.log", 1845, 72, false, 1057}),
                         testing_support::CaseName());

}  // namespace
