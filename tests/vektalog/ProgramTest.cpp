// The vektalog program: its arguments, its exit status and where its texts go.
#include <gtest/gtest.h>

#include "LogFixtures.h"
#include "tests/support/RunProgram.h"
#include "vektalog/CommandLine.h"

namespace {

using namespace vektalog_test;
using testing_support::ProgramRun;
using testing_support::RunProgram;

const std::string kShortUsage = "Usage: vektalog candump [--iface NAME] FILE...  (more: vektalog --help)\n";

struct ArgumentsCase {
    std::string name;
    std::vector<std::string> args;
    std::string error;  // empty: accepted
    std::string iface = "can0";
    std::vector<std::string> files = {};
};

const ArgumentsCase kArgumentsCases[] = {
    {"OneFile", {"candump", "a.log"}, "", "can0", {"a.log"}},
    {"IfaceBefore", {"candump", "--iface", "vcan1", "a.log", "b.log"}, "", "vcan1", {"a.log", "b.log"}},
    {"IfaceAfterWithEquals", {"candump", "a.log", "--iface=can7"}, "", "can7", {"a.log"}},
    {"DashedFileAfterDoubleDash", {"candump", "--", "-a.log"}, "", "can0", {"-a.log"}},
    {"NoCommand", {}, "no command given"},
    {"OtherCommand", {"asc", "a.log"}, "unknown command \"asc\" (the one command is candump)"},
    {"NoFiles", {"candump"}, "candump needs the log files of a run"},
    {"UnknownOption", {"candump", "-x", "a.log"}, "unknown option -x"},
    {"IfaceWithoutName", {"candump", "a.log", "--iface"}, "--iface needs a name"},
    {"IfaceEmpty", {"candump", "--iface=", "a.log"}, "--iface takes a name without blanks, '#' or brackets, not \"\""},
    {"IfaceWithBlank",
     {"candump", "--iface", "can 0", "a.log"},
     "--iface takes a name without blanks, '#' or brackets, not \"can 0\""},
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ArgumentsCase &c, std::ostream *out)
{
    *out << c.name;
}

class ArgumentsTest : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(ArgumentsTest, ParsedOrRefused)
{
    const ArgumentsCase &c = GetParam();
    vektalog::CommandLine line;
    std::string error;
    EXPECT_EQ(vektalog::ParseCommandLine(c.args, line, error), c.error.empty());
    EXPECT_EQ(error, c.error);
    if (c.error.empty()) {
        EXPECT_EQ(line.iface, c.iface);
        EXPECT_EQ(line.files, c.files);
    }
}

INSTANTIATE_TEST_SUITE_P(CommandLine, ArgumentsTest, ::testing::ValuesIn(kArgumentsCases),
                         [](const auto &info) { return info.param.name; });

ProgramRun Vektalog(std::vector<std::string> args, const testing_support::TempDir &dir)
{
    args.insert(args.begin(), VEKTALOG_PROGRAM);
    return RunProgram(args, dir.path().string());
}

TEST(ProgramTest, HelpGoesToStandardOutput)
{
    const testing_support::TempDir dir;
    const ProgramRun run = Vektalog({"candump", "--help"}, dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, vektalog::Usage());
    EXPECT_EQ(run.err, "");
}

TEST(ProgramTest, WrongArgumentsExitWithTwo)
{
    const testing_support::TempDir dir;
    const ProgramRun run = Vektalog({"candump"}, dir);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "vektalog: candump needs the log files of a run\n" + kShortUsage);
}

TEST(ProgramTest, ConvertsToStandardOutput)
{
    const testing_support::TempDir dir;
    const auto paths = WriteLogs(
        dir, {{"081226_043012.log",
               Lines({kOpen, kSettings11, "0000000005: RxD(CAN): 000007E8: 01 ", "0000000010: Close COM1"})}});
    const ProgramRun run = Vektalog({"candump", paths[0]}, dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "(1796693411.995000) can0 7E8#01\n");
    EXPECT_EQ(run.err, "");
}

TEST(ProgramTest, BadInputExitsWithOneAndWritesNothing)
{
    const testing_support::TempDir dir;
    const auto paths = WriteLogs(
        dir, {{"081226_043012.log", Lines({kOpen, "0000000005: RxD(CAN): 000007E8: 01 "}) + "0000000010: Clo"}});
    const ProgramRun run = Vektalog({"candump", paths[0]}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "vektalog: " + paths[0] + ":3: the last line is cut off (it does not end in CR LF)\n");
}

TEST(ProgramTest, FullOutputExitsWithOne)
{
    const testing_support::TempDir dir;
    const auto paths = WriteLogs(dir, {{"081226_043012.log", Lines({kOpen, "0000000005: RxD(CAN): 000007E8: 01 "})}});
    const ProgramRun run = RunProgram({VEKTALOG_PROGRAM, "candump", paths[0]}, dir.path().string(), "/dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "vektalog: standard output: No space left on device\n");
}

}  // namespace
