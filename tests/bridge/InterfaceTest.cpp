// IFACE is written to only when it is a vcan, or when the user says any kind
// will do: anything else is refused before the port is opened. The
// interfaces every host has show it without privileges: lo, of no link
// kind, and a name no interface has.
#include <gtest/gtest.h>

#include "BridgeProcess.h"
#include "sim/Simulator.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

using testing_support::TempDir;

using bridge_test::kPort;
constexpr char kMissing[] = "vkmissing0";
const std::string kLoRefused =
    "vektacand: lo is an interface of no link kind, not a vcan: frames written to it could reach a real bus; "
    "give --write-to-any-interface to write to it all the same\n";

struct InterfaceCase {
    std::string name;
    std::vector<std::string> args;
    int status;
    std::string message;
    bool wholeErr = false;  // message is all of standard error
};

const InterfaceCase kInterfaceCases[] = {
    {"LoopbackRefused", {kPort, "lo"}, 2, kLoRefused, true},
    {"LoopbackRefusedBesideCandump", {"--candump", kPort, "lo"}, 2, kLoRefused, true},
    // --create leaves an interface of another kind as it is and still refuses it.
    {"CreateLeavesLoopbackAlone", {"--create", kPort, "lo"}, 2, kLoRefused, true},
    {"MissingNotMadeWithoutCreate",
     {kPort, kMissing},
     1,
     "there is no interface vkmissing0; give --create, or as administrator: ip link add dev vkmissing0 type vcan"},
    // Past the kind check: lo takes no CAN socket, which the bind then says.
    {"AnyKindGetsPastTheCheck", {"--write-to-any-interface", kPort, "lo"}, 1, "vektacand: cannot write to lo: "},
    {"AnyKindNeedsIface",
     {"--write-to-any-interface", "--candump", kPort},
     2,
     "vektacand: --write-to-any-interface needs IFACE"},
};

void PrintTo(const InterfaceCase &c, std::ostream *out)
{
    *out << c.name;
}

class InterfaceTest : public ::testing::TestWithParam<InterfaceCase> {};

TEST_P(InterfaceTest, RefusedOrTakenBeforeThePort)
{
    const InterfaceCase &c = GetParam();
    vektasim::Simulator simulator(vektasim::Options{});
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;
    const TempDir dir;
    std::vector<std::string> args = {"--log-dir", dir.path().string()};
    for (const std::string &arg : c.args)
        args.push_back(arg == kPort ? simulator.PortPath() : arg);
    std::string err;
    EXPECT_EQ(bridge_test::RunToEnd(args, dir.path().string(), err), c.status) << err;
    if (c.wholeErr)
        EXPECT_EQ(err, c.message);
    else
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_TRUE(simulator.Received().empty());
    EXPECT_FALSE(simulator.Streaming());
}

INSTANTIATE_TEST_SUITE_P(Cases, InterfaceTest, ::testing::ValuesIn(kInterfaceCases),
                         [](const auto &info) { return info.param.name; });

TEST(InterfaceUsageTest, HelpSaysWhatWritingToAnyInterfaceDoes)
{
    const TempDir dir;
    const auto run = testing_support::RunProgram({VEKTACAND_PROGRAM, "--help"}, dir.path().string());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("--write-to-any-interface\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("sent again on the bus IFACE reaches"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("is refused with exit status 2 before the port is"), std::string::npos) << run.out;
}

}  // namespace
