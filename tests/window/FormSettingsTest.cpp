#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>

#include <climits>
#include <optional>
#include <ostream>

#include "FormFixture.h"
#include "capture/Unit2.h"
#include "settings/SettingsFile.h"
#include "tests/support/CaseNames.h"
#include "window/DropDownComboBox.h"
#include "window/SpinEdit.h"
#include "window/StringGrid.h"

namespace {

class FormSettingsTest : public FormTest {
protected:
    // A complete file with some lines (counted from 0) replaced.
    static std::string FileWith(std::initializer_list<std::pair<size_t, std::string>> replaced)
    {
        std::vector<std::string> lines = {"ttyUSB1", "1",   "0", "3", "1", "1", "-1", "0",   "250000", "2000", "7e0",
                                          "7E8",     "FFF", "1", "2", "3", "4", "5",  "312", "409",    "33",   "44"};
        for (const auto &[index, value] : replaced)
            lines.at(index) = value;
        std::string bytes;
        for (const std::string &line : lines)
            bytes += line + "\r\n";
        return bytes;
    }

    QPoint CentredPosition() const
    {
        return QGuiApplication::primaryScreen()->availableGeometry().center() - form_->rect().center();
    }
};

TEST_F(FormSettingsTest, FirstCloseWritesTheDesignedValues)
{
    CreateForm();
    ASSERT_TRUE(CloseForm());
    const std::vector<std::string> lines = SettingsLines();
    ASSERT_EQ(lines.size(), 22u);
    const std::vector<std::string> designed = {"COM1",     "0",        "4",        "2",        "0",
                                               "0",        "0",        "0",        "500000",   "1000",
                                               "000007E0", "000007E8", "00000FFF", "000007E1", "000007E9",
                                               "000007E2", "000007EA", "00000FFF", "274",      "409"};
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 20), designed);
    EXPECT_TRUE(ToInteger(lines[20]).has_value()) << lines[20];
    EXPECT_TRUE(ToInteger(lines[21]).has_value()) << lines[21];
    EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(FormSettingsTest, WithoutAFileTheWindowOpensCentred)
{
    TForm1 &form = CreateForm();
    EXPECT_EQ(form.pos(), CentredPosition());
    EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(FormSettingsTest, EveryValueSurvivesARoundTrip)
{
    TForm1 &first = CreateForm();
    first.ComboBox1->setEditText("ttyACM0");
    first.ComboBox2->setCurrentIndex(1);
    first.ComboBox3->setCurrentIndex(0);
    first.ComboBox4->setCurrentIndex(3);
    first.ComboBox5->setCurrentIndex(1);
    first.ComboBox6->setCurrentIndex(1);
    first.CheckBox1->setChecked(true);
    first.SpinEdit1->setValue(INT_MIN);
    first.SpinEdit3->setValue(INT_MAX);
    QLineEdit *const edits[] = {first.Edit1, first.Edit2, first.Edit3, first.Edit4,
                                first.Edit5, first.Edit6, first.Edit7, first.Edit8};
    const QStringList texts = {"7e0", "", "1", "12345678", "a", "B", "c0", "FFFFFFFF"};
    for (int i = 0; i < 8; ++i)
        edits[i]->setText(texts[i]);
    first.SetClientSize(409, 320);
    first.move(-20, 5000);  // off the screen stays off the screen
    ASSERT_TRUE(CloseForm());
    EXPECT_EQ(SettingsLines().at(0), "ttyACM0");
    EXPECT_EQ(SettingsLines().at(6), "-1");
    EXPECT_EQ(SettingsLines().at(7), "0");

    TForm1 &second = CreateForm();
    EXPECT_EQ(second.ComboBox1->currentText(), "ttyACM0");
    EXPECT_EQ(second.ComboBox2->currentText(), "TRILOX");
    EXPECT_EQ(second.ComboBox3->currentText(), "60");
    EXPECT_EQ(second.ComboBox4->currentText(), "20");
    EXPECT_EQ(second.ComboBox5->currentText(), "CAN29");
    EXPECT_EQ(second.ComboBox6->currentText(), "CAN29");
    EXPECT_TRUE(second.CheckBox1->isChecked());
    EXPECT_FALSE(second.CheckBox2->isChecked());
    EXPECT_EQ(second.SpinEdit1->value(), INT_MIN);
    EXPECT_EQ(second.SpinEdit3->value(), INT_MAX);
    QLineEdit *const read[] = {second.Edit1, second.Edit2, second.Edit3, second.Edit4,
                               second.Edit5, second.Edit6, second.Edit7, second.Edit8};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(read[i]->text(), texts[i]) << "Edit" << i + 1;
    EXPECT_EQ(second.size(), QSize(409, 312));  // rounded down to whole grid rows
    EXPECT_EQ(second.StringGrid1->height(), 23 + 38);
    EXPECT_EQ(second.pos(), QPoint(-20, 5000));
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
}

TEST_F(FormSettingsTest, AFileOfFiveLinesAppliesThemAndStopsAtTheSixth)
{
    WriteSettings("ttyS1\r\n1\r\n0\r\n1\r\n1\r\n");
    TForm1 &form = CreateForm();
    EXPECT_EQ(errors_, QStringList{"'' is not a valid integer value."});
    EXPECT_EQ(form.ComboBox1->currentText(), "ttyS1");
    EXPECT_EQ(form.ComboBox2->currentIndex(), 1);
    EXPECT_EQ(form.ComboBox3->currentIndex(), 0);
    EXPECT_EQ(form.ComboBox4->currentIndex(), 1);
    EXPECT_EQ(form.ComboBox5->currentIndex(), 1);
    EXPECT_EQ(form.ComboBox6->currentIndex(), 0);  // the failing line keeps its default
    EXPECT_EQ(form.SpinEdit1->value(), 500000);
    EXPECT_EQ(form.Edit1->text(), "000007E0");
    EXPECT_EQ(form.size(), QSize(409, 274));
    EXPECT_EQ(form.pos(), CentredPosition());
    // The capture thread runs and the grid is set up all the same.
    EXPECT_EQ(CaptureControl.flags.load(), FlagWord::kAlive);
    EXPECT_EQ(form.StringGrid1->ColWidth(10), 60);
}

struct BadLineCase {
    const char *name;
    size_t index;  // from 0
    const char *value;
    const char *error;
};

void PrintTo(const BadLineCase &c, std::ostream *out)
{
    *out << c.name << ": line " << c.index + 1 << " '" << c.value << "'";
}

class BadLineTest : public FormSettingsTest, public testing::WithParamInterface<BadLineCase> {};

TEST_P(BadLineTest, StopsTheLoadAtTheLineThatDoesNotConvert)
{
    WriteSettings(FileWith({{GetParam().index, GetParam().value}}));
    TForm1 &form = CreateForm();
    EXPECT_EQ(errors_, QStringList{QString::fromUtf8(GetParam().error)});
    EXPECT_EQ(form.ComboBox1->currentText(), "ttyUSB1");  // lines before it apply
    EXPECT_EQ(form.Edit8->text(), GetParam().index > 17 ? "5" : "00000FFF");
    EXPECT_EQ(form.pos(), CentredPosition());
}

INSTANTIATE_TEST_SUITE_P(Lines, BadLineTest,
                         testing::Values(BadLineCase{"SampleIndex", 2, "x", "'x' is not a valid integer value."},
                                         BadLineCase{"AdapterLog", 6, "yes", "'yes' is not a valid boolean value."},
                                         BadLineCase{"CanLogEmpty", 7, "", "'' is not a valid boolean value."},
                                         BadLineCase{"CanBaudReal", 8, "5e5", "'5e5' is not a valid integer value."},
                                         BadLineCase{"Width", 19, "wide", "'wide' is not a valid integer value."},
                                         BadLineCase{"Left", 21, "-", "'-' is not a valid integer value."}),
                         testing_support::CaseName());

struct CheckLineCase {
    const char *name;
    const char *line;
    std::optional<bool> checked;  // nothing: the line does not convert
};

void PrintTo(const CheckLineCase &c, std::ostream *out)
{
    *out << c.name << ": '" << c.line << "' ";
    *out << (!c.checked ? "does not convert" : *c.checked ? "checks" : "unchecks");
}

class CheckLineTest : public FormSettingsTest, public testing::WithParamInterface<CheckLineCase> {};

TEST_P(CheckLineTest, ReadsNumbersAndWords)
{
    WriteSettings(FileWith({{6, GetParam().line}, {7, GetParam().line}}));
    TForm1 &form = CreateForm();
    if (!GetParam().checked) {
        EXPECT_EQ(errors_, QStringList{QString("'%1' is not a valid boolean value.").arg(GetParam().line)});
        EXPECT_FALSE(form.CheckBox1->isChecked());  // the default stays
        return;
    }
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(form.CheckBox1->isChecked(), *GetParam().checked);
    EXPECT_EQ(form.CheckBox2->isChecked(), *GetParam().checked);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CheckLineTest,
    testing::Values(CheckLineCase{"MinusOne", "-1", true}, CheckLineCase{"One", "1", true},
                    CheckLineCase{"Zero", "0", false}, CheckLineCase{"Words", "TRUE", true},
                    CheckLineCase{"LowerWord", "false", false}, CheckLineCase{"Fraction", "2.5", true},
                    CheckLineCase{"Exponent", "1e3", true}, CheckLineCase{"RealZero", "0.0", false},
                    CheckLineCase{"MinusZero", "-0", false}, CheckLineCase{"Tiny", "1e-999", true},
                    CheckLineCase{"Yes", "yes", std::nullopt}, CheckLineCase{"LeadingBlank", " 1", std::nullopt},
                    CheckLineCase{"NotANumber", "nan", std::nullopt}, CheckLineCase{"Infinity", "inf", std::nullopt}),
    testing_support::CaseName());

struct StoredHexCase {
    const char *name;
    const char *text;
    std::optional<uint32_t> value;  // nothing: Start refuses the text
};

void PrintTo(const StoredHexCase &c, std::ostream *out)
{
    *out << c.name << ": '" << c.text << "'";
}

class StoredHexTest : public FormSettingsTest, public testing::WithParamInterface<StoredHexCase> {};

// Only the settings file can put more than eight characters into an address field.
TEST_P(StoredHexTest, StartCountsTheLastEightCharacters)
{
    WriteSettings(FileWith({{0, "/nonexistent/vektamon-port"}, {12, GetParam().text}}));
    TForm1 &form = CreateForm();
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    ASSERT_EQ(form.Edit3->text(), GetParam().text);
    form.Button1Click();
    if (GetParam().value) {
        EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
        EXPECT_EQ(CaptureControl.rmsk1, *GetParam().value);
    } else {
        EXPECT_EQ(errors_, QStringList{QString("'%1' is not a valid hexadecimal value.").arg(GetParam().text)});
    }
    form.Button2Click();
}

INSTANTIATE_TEST_SUITE_P(Texts, StoredHexTest,
                         testing::Values(StoredHexCase{"TwelveDigits", "0123456789AB", 0x456789ABu},
                                         StoredHexCase{"WordsBefore", "mask 00000FFF", 0x00000FFFu},
                                         StoredHexCase{"StrayBefore", "G00000001", 0x00000001u},
                                         StoredHexCase{"StrayAmongTheLastEight", "12345678G9", std::nullopt}),
                         testing_support::CaseName());

TEST_F(FormSettingsTest, AnIndexOutsideItsListLeavesNoSelectionAndIsWrittenBackAsMinusOne)
{
    WriteSettings(FileWith({{1, "7"}}));
    TForm1 &form = CreateForm();
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(form.ComboBox2->currentIndex(), -1);
    EXPECT_EQ(form.pos(), QPoint(44, 33));
    ASSERT_TRUE(CloseForm());
    EXPECT_EQ(SettingsLines().at(1), "-1");
}

TEST_F(FormSettingsTest, StoredTextsLongerThanTheTypingLimitStayWhole)
{
    WriteSettings(FileWith({{0, std::string(300, 'p')}, {10, "0123456789AB"}}));
    TForm1 &form = CreateForm();
    EXPECT_EQ(form.Edit1->text(), "0123456789AB");
    EXPECT_EQ(form.ComboBox1->currentText(), QString(255, 'p'));
    ASSERT_TRUE(CloseForm());
    EXPECT_EQ(SettingsLines().at(0), std::string(255, 'p'));
    EXPECT_EQ(SettingsLines().at(10), "0123456789AB");
}

TEST_F(FormSettingsTest, ATypedPortNameOf300CharactersIsWrittenCut)
{
    TForm1 &form = CreateForm();
    form.ComboBox1->setEditText(QString(300, 'n'));
    ASSERT_TRUE(CloseForm());
    EXPECT_EQ(SettingsLines().at(0), std::string(255, 'n'));
}

TEST_F(FormSettingsTest, ClosingAtOnceStillEndsTheThread)
{
    // No wait for the thread to announce itself before the close.
    form_ = std::make_unique<TForm1>(folder_.string() + "/");
    EXPECT_TRUE(CloseForm());
}

TEST_F(FormSettingsTest, AFailedSaveKeepsTheWindowOpenOnceThenTheNextCloseEndsItUnsaved)
{
    TForm1 &form = CreateForm();
    std::filesystem::create_directories(SettingsPath() + ".new");  // the save cannot write
    EXPECT_FALSE(form.close());
    EXPECT_EQ(errors_, QStringList{"Invalid filename."});
    EXPECT_EQ(CaptureControl.flags.load(), FlagWord::kAlive);
    EXPECT_TRUE(CloseForm());
    EXPECT_EQ(errors_.size(), 1) << "the second close saved again";
    EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
}

TEST_F(FormSettingsTest, TheFolderIsCutAt255BytesOnACharacterBoundary)
{
    // 254 bytes, then a two-byte letter that would straddle the limit.
    std::string folder = folder_.string() + "/";
    folder += std::string(254 - folder.size(), 'a');
    form_ = std::make_unique<TForm1>(folder + "ж/");
    EXPECT_EQ(LoadText(CaptureControl.logPath), folder);
    ASSERT_TRUE(CloseForm());
    EXPECT_TRUE(std::filesystem::exists(folder + "vektamon.set"));
}

}  // namespace
