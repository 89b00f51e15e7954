// Every bad input gives a message naming the problem and exit status 2,
// and the port is never touched.
#include <gtest/gtest.h>

#include <fstream>

#include "BridgeProcess.h"
#include "sim/Simulator.h"
#include "tests/support/TempDir.h"

namespace {

using testing_support::TempDir;

using bridge_test::kPort;
constexpr char kSettings[] = "@SET@";

struct BadInput {
    std::string name;
    std::vector<std::string> args;
    std::string settings;  // written to @SET@ when not empty
    std::string message;
};

const std::string kGoodLines = "COM1\r\n0\r\n4\r\n2\r\n0\r\n0\r\n0\r\n0\r\n500000\r\n1000\r\n";
const std::string kGoodFilters =
    "000007E0\r\n000007E8\r\n00000FFF\r\n000007E1\r\n000007E9\r\n000007E2\r\n000007EA\r\n00000FFF\r\n";

const BadInput kBadInputs[] = {
    {"UnknownOption", {"--speed", "500", "--candump", kPort}, "", "unknown option --speed"},
    {"NoTty", {"--candump"}, "", "no TTY given"},
    {"NoOutput", {kPort}, "", "give IFACE, --candump or both"},
    {"ThreeOperands", {kPort, "vcan0", "vcan1"}, "", "\"vcan1\" is one too many"},
    {"LongIface", {kPort, "averyveryverylongname"}, "", "is no network interface name"},
    {"CreateWithoutIface", {"--create", "--candump", kPort}, "", "--create needs IFACE"},
    {"MissingValue", {"--candump", kPort, "--bitrate"}, "", "--bitrate needs a value"},
    {"BitRateText",
     {"--bitrate", "fast", "--candump", kPort},
     "",
     "--bitrate takes a whole number from 15625 to 1000000, not \"fast\""},
    {"BitRateLow", {"--bitrate=1000", "--candump", kPort}, "", "not \"1000\""},
    {"SamplePoint",
     {"--sample-point", "62", "--candump", kPort},
     "",
     "--sample-point takes one of 60, 65, 70, 75, 80, 85, not \"62\""},
    {"Sjw", {"--sjw", "25", "--candump", kPort}, "", "--sjw takes one of 5, 10, 15, 20"},
    {"Adapter", {"--adapter", "other", "--candump", kPort}, "", "--adapter takes VEKTA or TRILOX, not \"other\""},
    {"Bits", {"--group2-bits", "16", "--candump", kPort}, "", "--group2-bits takes one of 11, 29"},
    {"FilterNotHex",
     {"--group1", "7E0,7G8,FFF", "--candump", kPort},
     "",
     "--group1: '7G8' is not a valid hexadecimal value"},
    {"FilterCount",
     {"--group2", "1,2,3,4", "--candump", kPort},
     "",
     "--group2 takes RADR21,RADR22,RADR23,RADR24,RMSK2"},
    {"Rto", {"--rto", "-5", "--candump", kPort}, "", "--rto takes a whole number from 0 to 10000"},
    {"LogDir",
     {"--log-dir", "/nonexistent/folder", "--candump", kPort},
     "",
     "is not a folder this user may write into"},
    {"SettingsMissing",
     {"--settings", "/nonexistent/vektamon.set", "--candump", kPort},
     "",
     "settings file /nonexistent/vektamon.set: "},
    {"SettingsNotInteger",
     {"--settings", kSettings, "--candump", kPort},
     "COM1\r\nx\r\n",
     "'x' is not a valid integer value"},
    {"SettingsNotBoolean",
     {"--settings", kSettings, "--candump", kPort},
     "COM1\r\n0\r\n4\r\n2\r\n0\r\n0\r\nyes\r\n",
     "'yes' is not a valid boolean value"},
    {"SettingsShort", {"--settings", kSettings, "--candump", kPort}, kGoodLines, "'' is not a valid integer value"},
    {"SettingsFilter",
     {"--settings", kSettings, "--candump", kPort},
     kGoodLines + "000007E0\r\n7Z8\r\n" + kGoodFilters.substr(20) + "274\r\n409\r\n0\r\n0\r\n",
     "'7Z8' is not a valid hexadecimal value"},
    {"SettingsIndex",
     {"--settings", kSettings, "--candump", kPort},
     "COM1\r\n0\r\n9\r\n2\r\n0\r\n0\r\n0\r\n0\r\n500000\r\n1000\r\n" + kGoodFilters + "274\r\n409\r\n0\r\n0\r\n",
     "no sample point for list position 9"},
};

void PrintTo(const BadInput &c, std::ostream *out)
{
    *out << c.name;
}

class BadInputTest : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputTest, MessageAndExitTwoBeforeThePort)
{
    const BadInput &c = GetParam();
    vektasim::Simulator simulator(vektasim::Options{});
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;
    const TempDir dir;
    const std::string settings = (dir.path() / "vektamon.set").string();
    if (!c.settings.empty())
        std::ofstream(settings) << c.settings;
    std::vector<std::string> args;
    for (const std::string &arg : c.args)
        args.push_back(arg == kPort ? simulator.PortPath() : arg == kSettings ? settings : arg);
    std::string err;
    EXPECT_EQ(bridge_test::RunToEnd(args, dir.path().string(), err), 2) << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_EQ(err.rfind("vektacand: ", 0), 0u) << err;
    EXPECT_TRUE(simulator.Received().empty());
    EXPECT_FALSE(simulator.Streaming());
}

INSTANTIATE_TEST_SUITE_P(Cases, BadInputTest, ::testing::ValuesIn(kBadInputs),
                         [](const auto &info) { return info.param.name; });

}  // namespace
