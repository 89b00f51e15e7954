#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "tests/support/TempDir.h"
#include "window/PortList.h"

namespace {

namespace fs = std::filesystem;

TEST(FilterComPorts, KeepsComNamesOfAtMostSixCharacters)
{
    EXPECT_EQ(FilterComPorts({"COM1", "com7", "COM12", "COMX", "COM1234", "LPT1"}),
              (std::vector<std::string>{"COM1", "com7", "COM12", "COMX"}));
    EXPECT_EQ(FilterComPorts({"CoM999", "CO", "COM", "XCOM1", "PRN"}), (std::vector<std::string>{"CoM999", "COM"}));
    EXPECT_TRUE(FilterComPorts({}).empty());
}

struct ComOrderCase {
    const char *name;
    std::vector<std::string> reported;
    std::vector<std::string> listed;
    friend void PrintTo(const ComOrderCase &c, std::ostream *os) { *os << c.name; }
};

class FilterComPortsOrder : public testing::TestWithParam<ComOrderCase> {};

// The object directory reports ports in no useful order; the list shows them
// by number's value.
TEST_P(FilterComPortsOrder, ListsByTheNumbersValue)
{
    EXPECT_EQ(FilterComPorts(GetParam().reported), GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FilterComPortsOrder,
    testing::Values(ComOrderCase{"TwoDigitsAfterOne", {"COM10", "COM3", "COM1"}, {"COM1", "COM3", "COM10"}},
                    ComOrderCase{"LetterCaseAside", {"com12", "COM2", "Com11"}, {"COM2", "Com11", "com12"}},
                    ComOrderCase{"LeadingZerosByValue", {"COM010", "COM9", "COM02"}, {"COM02", "COM9", "COM010"}},
                    ComOrderCase{"UnnumberedLast", {"COMX", "COM", "COM4"}, {"COM4", "COM", "COMX"}},
                    ComOrderCase{"SameValueKeepsBoth", {"COM01", "COM1"}, {"COM01", "COM1"}}),
    [](const auto &info) { return info.param.name; });

// A fake /sys/class/tty: an entry folder, its "device" link and, for the
// serial core's ports, the UART type.
class SerialTtysTest : public testing::Test {
protected:
    void Entry(const std::string &name, bool withDevice = true, std::optional<std::string> type = std::nullopt) const
    {
        fs::create_directories(dir_.path() / name);
        if (withDevice)
            fs::create_directory_symlink(dir_.path(), dir_.path() / name / "device");
        if (type)
            std::ofstream(dir_.path() / name / "type") << *type << "\n";
    }
    std::vector<std::string> Found() const { return SerialTtys(dir_.path().string()); }

    testing_support::TempDir dir_;
};

TEST_F(SerialTtysTest, UsbConvertersFirstThenUartsEachInNaturalOrder)
{
    for (const char *name : {"ttyS10", "ttyUSB10", "ttyACM1", "ttyS2", "ttyUSB2", "ttyACM0", "ttyS0", "ttyUSB0"})
        Entry(name, true, std::string(name).starts_with("ttyS") ? "4" : "");
    EXPECT_EQ(Found(), (std::vector<std::string>{"ttyUSB0", "ttyUSB2", "ttyUSB10", "ttyACM0", "ttyACM1", "ttyS0",
                                                 "ttyS2", "ttyS10"}));
}

TEST_F(SerialTtysTest, LeavesOutTtySWithoutAUart)
{
    Entry("ttyS0", true, "4");  // 16550A
    Entry("ttyS1", true, "0");  // unknown: no hardware behind it
    Entry("ttyS2", true);       // no type reported
    Entry("ttyS3", true, "");   // an empty type
    Entry("ttyS31", true, "0");
    Entry("ttyS4", true, "16");
    EXPECT_EQ(Found(), (std::vector<std::string>{"ttyS0", "ttyS4"}));
}

TEST_F(SerialTtysTest, LeavesOutWhatIsNoSerialPort)
{
    Entry("ttyUSB0");
    Entry("ttyUSB1", false);  // no device behind it
    Entry("tty1", false);
    Entry("tty", false);
    Entry("console", false);
    Entry("ptmx", false);
    Entry("ttySAC0", true, "4");
    Entry("ttyUSBx");
    Entry("ttyS", true, "4");
    EXPECT_EQ(Found(), (std::vector<std::string>{"ttyUSB0"}));
}

TEST_F(SerialTtysTest, LeadingZerosAndLongNumbersKeepNaturalOrder)
{
    for (const char *name : {"ttyUSB100000000000000000001", "ttyUSB007", "ttyUSB7", "ttyUSB08", "ttyUSB99"})
        Entry(name);
    EXPECT_EQ(Found(), (std::vector<std::string>{"ttyUSB007", "ttyUSB7", "ttyUSB08", "ttyUSB99",
                                                 "ttyUSB100000000000000000001"}));
}

TEST_F(SerialTtysTest, AMissingFolderGivesNoPorts)
{
    EXPECT_TRUE(SerialTtys((dir_.path() / "absent").string()).empty());
}

TEST(SystemPortNames, NamesSerialPortsOfTheSystemsTtyClass)
{
    EXPECT_EQ(SystemPortNames(), SerialTtys("/sys/class/tty"));
    for (const std::string &name : SystemPortNames())
        EXPECT_TRUE(fs::exists("/sys/class/tty/" + name + "/device")) << name;
}

}  // namespace
