#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>

#include <unistd.h>

#include "settings/SettingsFile.h"
#include "tests/support/CaseNames.h"

namespace {

namespace fs = std::filesystem;

struct SplitCase {
    const char *name;
    std::string bytes;
    std::vector<std::string> lines;
};

void PrintTo(const SplitCase &c, std::ostream *out)
{
    *out << c.name << ": " << c.bytes.size() << " bytes, values: " << c.lines.size();
}

class SplitSettingsTextTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitSettingsTextTest, GivesTheValues)
{
    const SettingsText text = SplitSettingsText(GetParam().bytes);
    ASSERT_EQ(text.LineCount(), GetParam().lines.size());
    for (size_t i = 0; i < GetParam().lines.size(); ++i)
        EXPECT_EQ(text.Line(i), GetParam().lines[i]) << "line " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(
    Files, SplitSettingsTextTest,
    testing::Values(SplitCase{"CrLf", "COM1\r\n0\r\n", {"COM1", "0"}}, SplitCase{"BareLf", "COM1\n0\n", {"COM1", "0"}},
                    SplitCase{"NoEndOnTheLastLine", "COM1\r\n0", {"COM1", "0"}},
                    SplitCase{"LoneCrDropped", "A\rB\r\n", {"AB"}},
                    SplitCase{"EmptyValues", "\r\n\r\nx\r\n", {"", "", "x"}},
                    SplitCase{"CtrlZEndsTheFile",
                              "COM1\r\n\x1A"
                              "0\r\n1\r\n",
                              {"COM1"}},
                    SplitCase{"Empty", "", {}},
                    SplitCase{"LongLineCut", std::string(300, 'A') + "\r\nB\r\n", {std::string(255, 'A'), "B"}},
                    SplitCase{"CutCountsCharacters", std::string(254, 'A') + "ЖЖ\r\n", {std::string(254, 'A') + "Ж"}}),
    testing_support::CaseName());

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
    const char *name;
    const char *text;
    std::optional<int32_t> value;
};

void PrintTo(const IntegerCase &c, std::ostream *out)
{
    *out << c.name << ": '" << c.text << "'";
}

class ToIntegerTest : public testing::TestWithParam<IntegerCase> {};

TEST_P(ToIntegerTest, ReadsSignedDecimal)
{
    EXPECT_EQ(ToInteger(GetParam().text), GetParam().value) << "'" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ToIntegerTest,
    testing::Values(IntegerCase{"Zero", "0", 0}, IntegerCase{"Number", "500000", 500000},
                    IntegerCase{"Negative", "-1", -1}, IntegerCase{"Plus", "+7", 7},
                    IntegerCase{"Largest", "2147483647", 2147483647}, IntegerCase{"Smallest", "-2147483648", INT32_MIN},
                    IntegerCase{"TooLarge", "2147483648", std::nullopt}, IntegerCase{"Empty", "", std::nullopt},
                    IntegerCase{"LoneMinus", "-", std::nullopt}, IntegerCase{"TwoSigns", "+-1", std::nullopt},
                    IntegerCase{"Fraction", "1.5", std::nullopt}, IntegerCase{"Letters", "12a", std::nullopt},
                    IntegerCase{"Hexadecimal", "0x10", std::nullopt}, IntegerCase{"LeadingBlank", " 1", std::nullopt}),
    testing_support::CaseName());

struct BooleanCase {
    const char *name;
    const char *text;
    std::optional<bool> value;
};

void PrintTo(const BooleanCase &c, std::ostream *out)
{
    *out << c.name << ": '" << c.text << "'";
}

class ToBooleanTest : public testing::TestWithParam<BooleanCase> {};

TEST_P(ToBooleanTest, ReadsNumbersAndWords)
{
    EXPECT_EQ(ToBoolean(GetParam().text), GetParam().value) << "'" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ToBooleanTest,
    testing::Values(BooleanCase{"MinusOne", "-1", true}, BooleanCase{"One", "1", true},
                    BooleanCase{"Integer", "42", true}, BooleanCase{"UpperWord", "TRUE", true},
                    BooleanCase{"Word", "True", true}, BooleanCase{"MixedWord", "tRuE", true},
                    BooleanCase{"Zero", "0", false}, BooleanCase{"LowerFalse", "false", false},
                    BooleanCase{"UpperFalse", "FALSE", false}, BooleanCase{"Yes", "yes", std::nullopt},
                    BooleanCase{"Empty", "", std::nullopt}, BooleanCase{"WordAndMore", "truex", std::nullopt},
                    // Any number, not only whole ones, with its value judged by its digits.
                    BooleanCase{"Fraction", "2.5", true}, BooleanCase{"Exponent", "1e3", true},
                    BooleanCase{"UpperExponent", "1E+3", true}, BooleanCase{"NegativeFraction", "-0.5", true},
                    BooleanCase{"NoWholePart", ".5", true}, BooleanCase{"NoFraction", "5.", true},
                    BooleanCase{"Tiny", "1e-999", true}, BooleanCase{"Huge", "1e999", true},
                    BooleanCase{"BeyondInteger", "99999999999", true}, BooleanCase{"PlusOne", "+1", true},
                    BooleanCase{"RealZero", "0.0", false}, BooleanCase{"MinusZero", "-0", false},
                    BooleanCase{"ZeroExponent", "0e5", false}, BooleanCase{"ManyZeros", "000.000", false},
                    // Not numbers: the integer lines take no blanks either, and words other
                    // than the two are errors.
                    BooleanCase{"LeadingBlank", " 1", std::nullopt}, BooleanCase{"TrailingBlank", "1 ", std::nullopt},
                    BooleanCase{"NotANumber", "nan", std::nullopt}, BooleanCase{"Infinity", "inf", std::nullopt},
                    BooleanCase{"Hexadecimal", "0x1", std::nullopt}, BooleanCase{"Comma", "1,5", std::nullopt},
                    BooleanCase{"LonePoint", ".", std::nullopt}, BooleanCase{"LoneSign", "-", std::nullopt},
                    BooleanCase{"NoExponentDigits", "1e", std::nullopt}, BooleanCase{"NoMantissa", "e3", std::nullopt},
                    BooleanCase{"TwoPoints", "1.2.3", std::nullopt},
                    BooleanCase{"FractionalExponent", "1e3.5", std::nullopt},
                    BooleanCase{"TwoSigns", "+-1", std::nullopt}),
    testing_support::CaseName());

TEST(ConversionMessages, NameTheText)
{
    EXPECT_EQ(NotIntegerText(""), "'' is not a valid integer value");
    EXPECT_EQ(NotIntegerText("12a"), "'12a' is not a valid integer value");
    EXPECT_EQ(NotBooleanText("yes"), "'yes' is not a valid boolean value");
}

struct ErrorCase {
    const char *name;
    std::errc error;
    const char *text;
};

void PrintTo(const ErrorCase &c, std::ostream *out)
{
    *out << c.name << ": " << c.text;
}

class FileErrorTextTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(FileErrorTextTest, NamesTheFailure)
{
    EXPECT_EQ(FileErrorText(std::make_error_code(GetParam().error)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FileErrorTextTest,
    testing::Values(ErrorCase{"NoSuchFile", std::errc::no_such_file_or_directory, "File not found"},
                    ErrorCase{"NameTooLong", std::errc::filename_too_long, "Invalid filename"},
                    ErrorCase{"IsADirectory", std::errc::is_a_directory, "Invalid filename"},
                    ErrorCase{"TooManyOpen", std::errc::too_many_files_open, "Too many open files"},
                    ErrorCase{"PermissionDenied", std::errc::permission_denied, "File access denied"},
                    ErrorCase{"ReadOnly", std::errc::read_only_file_system, "File access denied"},
                    ErrorCase{"NoSpace", std::errc::no_space_on_device, "Disk full"}),
    testing_support::CaseName());

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
