#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "SettingsFile.h"

namespace {

namespace fs = std::filesystem;

struct SplitCase {
    std::string bytes;
    std::vector<std::string> lines;
};

class SplitSettingsTextTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitSettingsTextTest, GivesTheValues)
{
    const SettingsText text = SplitSettingsText(GetParam().bytes);
    ASSERT_EQ(text.LineCount(), GetParam().lines.size());
    for (size_t i = 0; i < GetParam().lines.size(); ++i)
        EXPECT_EQ(text.Line(i), GetParam().lines[i]) << "line " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(Files, SplitSettingsTextTest, testing::Values(
    SplitCase{"COM1\r\n0\r\n", {"COM1", "0"}},
    SplitCase{"COM1\n0\n", {"COM1", "0"}},                      // bare LF
    SplitCase{"COM1\r\n0", {"COM1", "0"}},                      // no end on the last line
    SplitCase{"A\rB\r\n", {"AB"}},                              // a lone CR is dropped
    SplitCase{"\r\n\r\nx\r\n", {"", "", "x"}},                  // empty values
    SplitCase{"COM1\r\n\x1A" "0\r\n1\r\n", {"COM1"}},           // Ctrl-Z ends the file
    SplitCase{"", {}},
    SplitCase{std::string(300, 'A') + "\r\nB\r\n", {std::string(255, 'A'), "B"}},
    SplitCase{std::string(254, 'A') + "ЖЖ\r\n", {std::string(254, 'A') + "Ж"}}));  // characters, not bytes

TEST(SettingsText, ALinePastTheEndReadsEmpty)
{
    const SettingsText text = SplitSettingsText("a\r\n");
    EXPECT_EQ(text.Line(0), "a");
    EXPECT_EQ(text.Line(1), "");
    EXPECT_EQ(text.Line(21), "");
}

TEST(JoinSettingsText, EndsEveryValueWithCrLfAndCutsItTo255Characters)
{
    EXPECT_EQ(JoinSettingsText({"COM1", "", "-1"}), "COM1\r\n\r\n-1\r\n");
    EXPECT_EQ(JoinSettingsText({std::string(300, 'x')}), std::string(255, 'x') + "\r\n");
}

struct IntegerCase {
    const char *text;
    std::optional<int32_t> value;
};

class ToIntegerTest : public testing::TestWithParam<IntegerCase> {};

TEST_P(ToIntegerTest, ReadsSignedDecimal)
{
    EXPECT_EQ(ToInteger(GetParam().text), GetParam().value) << "'" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(Texts, ToIntegerTest, testing::Values(
    IntegerCase{"0", 0}, IntegerCase{"500000", 500000}, IntegerCase{"-1", -1}, IntegerCase{"+7", 7},
    IntegerCase{"2147483647", 2147483647}, IntegerCase{"-2147483648", INT32_MIN},
    IntegerCase{"2147483648", std::nullopt}, IntegerCase{"", std::nullopt}, IntegerCase{"-", std::nullopt},
    IntegerCase{"+-1", std::nullopt}, IntegerCase{"1.5", std::nullopt}, IntegerCase{"12a", std::nullopt},
    IntegerCase{"0x10", std::nullopt}, IntegerCase{" 1", std::nullopt}));

struct BooleanCase {
    const char *text;
    std::optional<bool> value;
};

class ToBooleanTest : public testing::TestWithParam<BooleanCase> {};

TEST_P(ToBooleanTest, ReadsNumbersAndWords)
{
    EXPECT_EQ(ToBoolean(GetParam().text), GetParam().value) << "'" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(Texts, ToBooleanTest, testing::Values(
    BooleanCase{"-1", true}, BooleanCase{"1", true}, BooleanCase{"42", true}, BooleanCase{"TRUE", true},
    BooleanCase{"True", true}, BooleanCase{"tRuE", true}, BooleanCase{"0", false}, BooleanCase{"false", false},
    BooleanCase{"FALSE", false}, BooleanCase{"yes", std::nullopt}, BooleanCase{"", std::nullopt},
    BooleanCase{"truex", std::nullopt}));

TEST(ConversionMessages, NameTheText)
{
    EXPECT_EQ(NotIntegerText(""), "'' is not a valid integer value");
    EXPECT_EQ(NotIntegerText("12a"), "'12a' is not a valid integer value");
    EXPECT_EQ(NotBooleanText("yes"), "'yes' is not a valid boolean value");
}

struct ErrorCase {
    std::errc error;
    const char *text;
};

class FileErrorTextTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(FileErrorTextTest, NamesTheFailure)
{
    EXPECT_EQ(FileErrorText(std::make_error_code(GetParam().error)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Codes, FileErrorTextTest, testing::Values(
    ErrorCase{std::errc::no_such_file_or_directory, "File not found"},
    ErrorCase{std::errc::filename_too_long, "Invalid filename"},
    ErrorCase{std::errc::is_a_directory, "Invalid filename"},
    ErrorCase{std::errc::too_many_files_open, "Too many open files"},
    ErrorCase{std::errc::permission_denied, "File access denied"},
    ErrorCase{std::errc::read_only_file_system, "File access denied"},
    ErrorCase{std::errc::no_space_on_device, "Disk full"}));

TEST(FileErrorText, NamesOtherCodesByNumber)
{
    EXPECT_EQ(FileErrorText(std::make_error_code(std::errc::io_error)), "I/O error " + std::to_string(EIO));
}

class SettingsFileOnDisk : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("vektawindow-set-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        path_ = (folder_ / "vektamon.set").string();
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
    std::string path_;
};

TEST_F(SettingsFileOnDisk, WritesAndReadsBack)
{
    ASSERT_EQ(WriteSettingsFile(path_, {"ttyUSB0", "1", "7e0"}), std::nullopt);
    SettingsText text;
    ASSERT_EQ(ReadSettingsFile(path_, text), std::nullopt);
    EXPECT_EQ(text.LineCount(), 3u);
    EXPECT_EQ(text.Line(2), "7e0");
    EXPECT_FALSE(fs::exists(path_ + ".new"));
}

TEST_F(SettingsFileOnDisk, AFailedSaveLeavesThePreviousFileWhole)
{
    ASSERT_EQ(WriteSettingsFile(path_, {"old"}), std::nullopt);
    fs::create_directories(path_ + ".new");  // the new file cannot be created
    EXPECT_EQ(WriteSettingsFile(path_, {"new"}), "Invalid filename");
    SettingsText text;
    ASSERT_EQ(ReadSettingsFile(path_, text), std::nullopt);
    EXPECT_EQ(text.Line(0), "old");
}

TEST_F(SettingsFileOnDisk, ReadingAMissingFileSaysSo)
{
    SettingsText text;
    EXPECT_EQ(ReadSettingsFile(path_, text), "File not found");
}

TEST_F(SettingsFileOnDisk, SavingIntoAMissingFolderSaysSo)
{
    EXPECT_EQ(WriteSettingsFile((folder_ / "absent" / "vektamon.set").string(), {"x"}), "File not found");
}

}  // namespace
