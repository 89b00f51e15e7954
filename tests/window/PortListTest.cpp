#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <unistd.h>

#include "PortList.h"

namespace {

namespace fs = std::filesystem;

TEST(FilterComPorts, KeepsComNamesOfAtMostSixCharactersInTheSystemsOrder)
{
    EXPECT_EQ(FilterComPorts({"COM1", "com7", "COM12", "COMX", "COM1234", "LPT1"}),
              (std::vector<std::string>{"COM1", "com7", "COM12", "COMX"}));
    EXPECT_EQ(FilterComPorts({"CoM999", "CO", "COM", "XCOM1", "PRN"}), (std::vector<std::string>{"CoM999", "COM"}));
    EXPECT_TRUE(FilterComPorts({}).empty());
}

class TtyDevicesTest : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("vektawindow-tty-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    void Entry(const std::string &name, bool withDevice) const
    {
        fs::create_directories(folder_ / name);
        if (withDevice)
            fs::create_directories(folder_ / name / "device");
    }

    fs::path folder_;
};

TEST_F(TtyDevicesTest, ListsTheEntriesThatHaveADevice)
{
    Entry("ttyS0", true);
    Entry("ttyUSB0", true);
    Entry("ttyACM3", true);
    Entry("tty1", false);
    Entry("console", false);
    std::vector<std::string> found = TtyDevices(folder_.string());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"ttyACM3", "ttyS0", "ttyUSB0"}));
}

TEST_F(TtyDevicesTest, AMissingFolderGivesNoPorts)
{
    EXPECT_TRUE(TtyDevices((folder_ / "absent").string()).empty());
}

TEST(SystemPortNames, NamesDevicesOfTheSystemsTtyClass)
{
    for (const std::string &name : SystemPortNames()) {
        EXPECT_EQ(name.find('/'), std::string::npos) << name;
        EXPECT_TRUE(fs::exists("/sys/class/tty/" + name + "/device")) << name;
    }
}

}  // namespace
