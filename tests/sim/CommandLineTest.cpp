// The vektasim program's arguments.
#include <gtest/gtest.h>

#include <ostream>

#include "sim/CommandLine.h"
#include "tests/support/CaseNames.h"

namespace {

using vektasim::CommandLine;
using vektasim::Kind;
using vektasim::Traffic;

struct GoodArgs {
    const char *name;
    std::vector<std::string> args;
    std::function<bool(const CommandLine &)> holds;
};

void PrintArgs(const std::vector<std::string> &args, std::ostream *out)
{
    *out << "vektasim";
    for (const std::string &arg : args)
        *out << ' ' << arg;
}

void PrintTo(const GoodArgs &c, std::ostream *out)
{
    *out << c.name << ": ";
    PrintArgs(c.args, out);
}

class CommandLineGood : public ::testing::TestWithParam<GoodArgs> {};

TEST_P(CommandLineGood, SetsTheOptions)
{
    CommandLine line;
    std::string error;
    ASSERT_TRUE(vektasim::ParseCommandLine(GetParam().args, line, error)) << error;
    EXPECT_TRUE(GetParam().holds(line));
}

INSTANTIATE_TEST_SUITE_P(
    Args, CommandLineGood,
    ::testing::Values(
        GoodArgs{"defaults",
                 {},
                 [](const CommandLine &l) {
                     return !l.help && l.options.kind == Kind::Vekta && l.options.traffic == Traffic::Generator &&
                            l.options.answerCommands && !l.options.throttle && l.options.linkPath.empty();
                 }},
        GoodArgs{"trilox_link",
                 {"--kind", "trilox", "--link", "/tmp/a"},
                 [](const CommandLine &l) { return l.options.kind == Kind::Trilox && l.options.linkPath == "/tmp/a"; }},
        GoodArgs{"replay",
                 {"--replay", "t.log", "--fast", "--loop"},
                 [](const CommandLine &l) {
                     return l.options.traffic == Traffic::Replay && l.options.replayFile == "t.log" &&
                            l.options.replayFast && l.options.replayLoop;
                 }},
        GoodArgs{"flood",
                 {"--flood", "500", "--frames", "500000", "--throttle"},
                 [](const CommandLine &l) {
                     return l.options.traffic == Traffic::Flood && l.options.floodIds == 500 &&
                            l.options.frameLimit == 500000 && l.options.throttle;
                 }},
        GoodArgs{"silent", {"--silent"}, [](const CommandLine &l) { return !l.options.answerCommands; }},
        GoodArgs{
            "record", {"--record", "/tmp/r.txt"}, [](const CommandLine &l) { return l.recordPath == "/tmp/r.txt"; }},
        GoodArgs{"help", {"--help"}, [](const CommandLine &l) { return l.help; }}),
    testing_support::CaseName());

struct BadArgs {
    const char *name;
    std::vector<std::string> args;
    std::string error;
};

void PrintTo(const BadArgs &c, std::ostream *out)
{
    *out << c.name << ": ";
    PrintArgs(c.args, out);
}

class CommandLineBad : public ::testing::TestWithParam<BadArgs> {};

TEST_P(CommandLineBad, SaysWhatIsWrong)
{
    CommandLine line;
    std::string error;
    EXPECT_FALSE(vektasim::ParseCommandLine(GetParam().args, line, error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Args, CommandLineBad,
    ::testing::Values(
        BadArgs{"unknown", {"--speed"}, "unknown option \"--speed\""},
        BadArgs{"kind", {"--kind", "other"}, "--kind takes vekta or trilox, not \"other\""},
        BadArgs{"missing_value", {"--link"}, "--link needs a value"},
        BadArgs{"flood_zero", {"--flood", "0"}, "--flood takes a number of identifiers above 0, not \"0\""},
        BadArgs{"flood_text", {"--flood", "many"}, "--flood takes a number of identifiers above 0, not \"many\""},
        BadArgs{"frames_negative", {"--frames", "-1"}, "--frames takes a number, not \"-1\""},
        BadArgs{"both_sources", {"--flood", "5", "--replay", "x"}, "--replay and --flood exclude each other"}),
    testing_support::CaseName());

TEST(CommandLine, UsageDocumentsEveryOption)
{
    const std::string usage = vektasim::Usage();
    for (const char *option : {"--kind", "--link", "--replay", "--fast", "--loop", "--flood", "--frames", "--throttle",
                               "--silent", "--record", "--help"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

}  // namespace
