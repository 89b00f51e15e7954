#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSpinBox>

#include <climits>

#include "DropDownComboBox.h"
#include "FormFixture.h"
#include "SettingsFile.h"
#include "StringGrid.h"
#include "Unit2.h"

namespace {

class FormSettingsTest : public FormTest {
protected:
    // A complete file with some lines (counted from 0) replaced.
    static std::string FileWith(std::initializer_list<std::pair<size_t, std::string>> replaced)
    {
        std::vector<std::string> lines = {"ttyUSB1", "1", "0", "3", "1", "1", "-1", "0", "250000", "2000",
                                          "7e0", "7E8", "FFF", "1", "2", "3", "4", "5", "312", "409", "33", "44"};
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
    const std::vector<std::string> designed = {"COM1", "0", "4", "2", "0", "0", "0", "0", "500000", "1000",
                                               "000007E0", "000007E8", "00000FFF", "000007E1", "000007E9",
                                               "000007E2", "000007EA", "00000FFF", "274", "409"};
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
    size_t index;
    const char *value;
    const char *error;
};

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

INSTANTIATE_TEST_SUITE_P(Lines, BadLineTest, testing::Values(
    BadLineCase{2, "x", "'x' is not a valid integer value."},
    BadLineCase{6, "yes", "'yes' is not a valid boolean value."},
    BadLineCase{7, "", "'' is not a valid boolean value."},
    BadLineCase{8, "5e5", "'5e5' is not a valid integer value."},
    BadLineCase{19, "wide", "'wide' is not a valid integer value."},
    BadLineCase{21, "-", "'-' is not a valid integer value."}));

TEST_F(FormSettingsTest, CheckBoxLinesReadNumbersAndWords)
{
    WriteSettings(FileWith({{6, "TRUE"}, {7, "false"}}));
    TForm1 &form = CreateForm();
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_TRUE(form.CheckBox1->isChecked());
    EXPECT_FALSE(form.CheckBox2->isChecked());
}

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
