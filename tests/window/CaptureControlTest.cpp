#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cerrno>
#include <ostream>
#include <string>
#include <vector>

#include "FormFixture.h"
#include "capture/Unit2.h"
#include "common/ErrorText.h"
#include "tests/support/CaseNames.h"
#include "window/DropDownComboBox.h"
#include "window/SpinEdit.h"

namespace {

// A port that never opens, so that a requested run only retries.
constexpr char kAbsentPort[] = "/nonexistent/vektamon-port";
constexpr uint16_t kRunActive = 0x4000;

uint16_t RequestWord()
{
    return CaptureControl.flags.load() & ~kRunActive;
}

class CaptureControlTest : public FormTest {
protected:
    TForm1 &CreateIdleForm()
    {
        TForm1 &form = CreateForm();
        form.ComboBox1->setEditText(kAbsentPort);
        return form;
    }

    struct Buttons {
        bool start, stop, cut;
        bool operator==(const Buttons &) const = default;
    };
    Buttons ButtonStates() const
    {
        return {form_->Button1->isEnabled(), form_->Button2->isEnabled(), form_->Button3->isEnabled()};
    }
};

TEST_F(CaptureControlTest, StartCopiesEveryFieldThenRequestsTheRun)
{
    TForm1 &form = CreateIdleForm();
    form.SpinEdit1->setValue(250000);
    form.SpinEdit3->setValue(-1);
    QLineEdit *const edits[] = {form.Edit1, form.Edit2, form.Edit3, form.Edit4,
                                form.Edit5, form.Edit6, form.Edit7, form.Edit8};
    const char *const texts[] = {"18DAF110", "7e8", "1FFFFFFF", "", "5", "66", "777", "8888"};
    for (int i = 0; i < 8; ++i)
        edits[i]->setText(texts[i]);
    form.ComboBox5->setCurrentIndex(1);
    form.ComboBox3->setCurrentIndex(5);
    form.ComboBox4->setCurrentIndex(0);
    form.CheckBox1->setChecked(true);
    form.ComboBox2->setCurrentIndex(1);

    form.Button1->click();
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(RequestWord(), FlagWord::kStart);
    const TCaptureControl &c = CaptureControl;
    EXPECT_EQ(LoadText(c.portName), kAbsentPort);
    EXPECT_EQ(c.canBaud, 250000u);
    EXPECT_EQ(c.radr11, 0x98DAF110u);  // CAN29 marks group 1
    EXPECT_EQ(c.radr12, 0x7E8u);
    EXPECT_EQ(c.rmsk1, 0x1FFFFFFFu);
    EXPECT_EQ(c.radr21, 0u);
    EXPECT_EQ(c.radr22, 0x5u);
    EXPECT_EQ(c.radr23, 0x66u);
    EXPECT_EQ(c.radr24, 0x777u);
    EXPECT_EQ(c.rmsk2, 0x8888u);
    EXPECT_EQ(c.rto, 0xFFFFFFFFu);
    EXPECT_EQ(c.samp, 85u);
    EXPECT_EQ(c.sjw, 5u);
    EXPECT_TRUE(c.adapterLog);
    EXPECT_FALSE(c.canLog);
    EXPECT_EQ(c.hardware, 1u);  // TRILOX
    form.Button2->click();
}

struct GroupCase {
    const char *name;
    int bits;
    const char *text;
    uint32_t value;
};

void PrintTo(const GroupCase &c, std::ostream *out)
{
    *out << c.name << ": BITS index " << c.bits << ", '" << c.text << "' gives 0x" << std::hex << std::uppercase
         << c.value << std::dec;
}

class GroupBitTest : public CaptureControlTest, public testing::WithParamInterface<GroupCase> {};

TEST_P(GroupBitTest, Bit31MarksA29BitGroup)
{
    TForm1 &form = CreateIdleForm();
    form.ComboBox5->setCurrentIndex(GetParam().bits);
    form.ComboBox6->setCurrentIndex(GetParam().bits);
    form.Edit1->setText(GetParam().text);
    form.Edit4->setText(GetParam().text);
    form.Button1Click();
    EXPECT_EQ(CaptureControl.radr11, GetParam().value);
    EXPECT_EQ(CaptureControl.radr21, GetParam().value);
    EXPECT_EQ(CaptureControl.radr12, 0x7E8u);  // the other addresses carry no mark
    form.Button2Click();
}

INSTANTIATE_TEST_SUITE_P(Groups, GroupBitTest,
                         testing::Values(GroupCase{"Can11", 0, "7E0", 0x7E0u},
                                         GroupCase{"Can29", 1, "7E0", 0x800007E0u},
                                         GroupCase{"Can11WithBit31", 0, "80000000", 0x80000000u},
                                         GroupCase{"Can29Empty", 1, "", 0x80000000u},
                                         GroupCase{"NoSelection", -1, "7E0", 0x7E0u}),
                         testing_support::CaseName());

struct SpinTextCase {
    const char *name;
    const char *text;
    int value;
};

void PrintTo(const SpinTextCase &c, std::ostream *out)
{
    *out << c.name << ": '" << c.text << "' gives " << c.value;
}

class SpinTextTest : public CaptureControlTest, public testing::WithParamInterface<SpinTextCase> {
protected:
    // What an operator could leave in the field, typed or pasted.
    static void Enter(TSpinEdit *spin, const char *text) { spin->findChild<QLineEdit *>()->setText(text); }
};

TEST_P(SpinTextTest, StartAndTheSettingsFileTakeTheNumberOrZero)
{
    TForm1 &form = CreateIdleForm();
    Enter(form.SpinEdit1, GetParam().text);
    Enter(form.SpinEdit3, GetParam().text);
    form.Button1Click();
    EXPECT_EQ(CaptureControl.canBaud, static_cast<uint32_t>(GetParam().value));
    EXPECT_EQ(CaptureControl.rto, static_cast<uint32_t>(GetParam().value));
    form.Button2Click();
    ASSERT_TRUE(CloseForm());
    const std::vector<std::string> lines = SettingsLines();
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[8], std::to_string(GetParam().value));
    EXPECT_EQ(lines[9], std::to_string(GetParam().value));
}

TEST_P(SpinTextTest, EndingTheEditShowsTheNumberThatCounts)
{
    TForm1 &form = CreateIdleForm();
    Enter(form.SpinEdit1, GetParam().text);
    form.SpinEdit1->interpretText();  // what leaving the field does
    EXPECT_EQ(form.SpinEdit1->value(), GetParam().value);
    EXPECT_EQ(form.SpinEdit1->Value(), GetParam().value);
    EXPECT_EQ(form.SpinEdit1->text(), QString::number(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(Texts, SpinTextTest,
                         testing::Values(SpinTextCase{"Empty", "", 0}, SpinTextCase{"LoneMinus", "-", 0},
                                         SpinTextCase{"Letters", "12a", 0}, SpinTextCase{"Fraction", "1.5", 0},
                                         SpinTextCase{"Beyond32Bits", "99999999999", 0},
                                         SpinTextCase{"Number", "250000", 250000}, SpinTextCase{"Negative", "-7", -7}),
                         testing_support::CaseName());

TEST_F(CaptureControlTest, VektaIsHardwareZero)
{
    TForm1 &form = CreateIdleForm();
    form.Button1Click();
    EXPECT_EQ(CaptureControl.hardware, 0u);
    EXPECT_EQ(LoadText(CaptureControl.portName), kAbsentPort);
    form.Button2Click();
}

struct FailedStartCase {
    const char *name;  // the field that does not convert
    std::function<void(TForm1 &)> spoil;
    const char *error;
};

void PrintTo(const FailedStartCase &c, std::ostream *out)
{
    *out << c.name << ": " << c.error;
}

class FailedStartTest : public CaptureControlTest, public testing::WithParamInterface<FailedStartCase> {};

TEST_P(FailedStartTest, NamesTheTextAndRequestsNoRun)
{
    TForm1 &form = CreateIdleForm();
    GetParam().spoil(form);
    form.Button1Click();
    EXPECT_EQ(errors_, QStringList{QString::fromUtf8(GetParam().error)});
    EXPECT_EQ(CaptureControl.flags.load(), FlagWord::kAlive);
    EXPECT_EQ(LoadText(CaptureControl.portName), kAbsentPort);  // fields before it are copied
    EXPECT_EQ(CaptureControl.radr11, 0x7E0u);
    EXPECT_EQ(CaptureControl.sjw, 0u);  // the last field is never reached
}

INSTANTIATE_TEST_SUITE_P(Fields, FailedStartTest,
                         testing::Values(FailedStartCase{"RMSK1", [](TForm1 &f) { f.Edit3->setText("7x0"); },
                                                         "'7x0' is not a valid hexadecimal value."},
                                         FailedStartCase{"RMSK2", [](TForm1 &f) { f.Edit8->setText("FFF "); },
                                                         "'FFF ' is not a valid hexadecimal value."},
                                         FailedStartCase{"SAMP", [](TForm1 &f) { f.ComboBox3->setCurrentIndex(-1); },
                                                         "'' is not a valid integer value."},
                                         FailedStartCase{"SJW", [](TForm1 &f) { f.ComboBox4->setCurrentIndex(-1); },
                                                         "'' is not a valid integer value."}),
                         testing_support::CaseName());

TEST_F(CaptureControlTest, ButtonsFollowTheRequestWord)
{
    TForm1 &form = CreateIdleForm();
    form.Timer1Timer();
    EXPECT_EQ(ButtonStates(), (Buttons{true, false, false}));

    form.Button1->click();
    form.Timer1Timer();
    EXPECT_EQ(ButtonStates(), (Buttons{false, true, true}));

    form.Button3->click();
    EXPECT_EQ(RequestWord(), FlagWord::kStartAndCut);
    EXPECT_FALSE(form.Button3->isEnabled());
    form.Timer1Timer();  // the cut stays pending: no reception serves it
    EXPECT_EQ(ButtonStates(), (Buttons{false, true, false}));

    form.Button2->click();
    EXPECT_EQ(RequestWord(), FlagWord::kAlive);
    form.Timer1Timer();
    EXPECT_EQ(ButtonStates(), (Buttons{true, false, false}));
}

TEST_F(CaptureControlTest, ARunOnAnAbsentPortShowsTheSystemsMessage)
{
    TForm1 &form = CreateIdleForm();
    form.Button1->click();
    const QString expected = "-/" + QString::fromStdString(SystemErrorText(ENOENT));
    EXPECT_TRUE(WaitUntil([&] { return form.Label2->text() == expected; })) << form.Label2->text().toStdString();
    form.Button2->click();
    EXPECT_TRUE(WaitUntil([&] { return form.Label1->text() == "Простой" && form.Button1->isEnabled(); }));
}

struct StateCase {
    const char *name;
    int32_t state;
    const char *text;
};

void PrintTo(const StateCase &c, std::ostream *out)
{
    *out << c.name << ": state " << c.state << " shows '" << c.text << "'";
}

class StateTextTest : public CaptureControlTest, public testing::WithParamInterface<StateCase> {};

TEST_P(StateTextTest, ShowsWhatTheThreadDoes)
{
    TForm1 &form = CreateIdleForm();
    StoreText(CaptureControl.portName, "ttyUSB0");
    CaptureControl.state.store(CaptureState::kOpening);
    form.Timer1Timer();
    CaptureControl.state.store(GetParam().state);
    form.Timer1Timer();
    EXPECT_EQ(form.Label1->text(), QString::fromUtf8(GetParam().text));
    CaptureControl.state.store(CaptureState::kIdle);
}

INSTANTIATE_TEST_SUITE_P(States, StateTextTest,
                         testing::Values(StateCase{"Idle", 0, "Простой"}, StateCase{"Opening", 1, "Открытие ttyUSB0"},
                                         StateCase{"Receiving", 4, "Обмен (- мс)"},
                                         StateCase{"Initialising", 6, "Инициализация TRILOX"},
                                         StateCase{"OtherKeepsTheText", 5, "Открытие ttyUSB0"},
                                         StateCase{"NegativeKeepsTheText", -1, "Открытие ttyUSB0"}),
                         testing_support::CaseName());

struct ErrorsCase {
    const char *name;
    int32_t kind;
    uint32_t sysError;
    const char *first;
};

void PrintTo(const ErrorsCase &c, std::ostream *out)
{
    *out << c.name << ": errorKind " << c.kind << ", sysError " << c.sysError;
}

class ErrorsTextTest : public CaptureControlTest, public testing::WithParamInterface<ErrorsCase> {};

TEST_P(ErrorsTextTest, ShowsTheAdapterErrorThenTheSystemsMessage)
{
    TForm1 &form = CreateIdleForm();
    CaptureControl.errorKind.store(GetParam().kind);
    CaptureControl.sysError.store(GetParam().sysError);
    form.Timer1Timer();
    const QString second =
        GetParam().sysError ? QString::fromStdString(SystemErrorText(GetParam().sysError)) : QStringLiteral("-");
    EXPECT_EQ(form.Label2->text(), QString::fromUtf8(GetParam().first) + "/" + second);
}

INSTANTIATE_TEST_SUITE_P(Errors, ErrorsTextTest,
                         testing::Values(ErrorsCase{"None", 0, 0, "-"}, ErrorsCase{"TxD", 7, 0, "Ошибка TxD"},
                                         ErrorsCase{"NoDevice", 1, 0, "Device отсутствует"},
                                         ErrorsCase{"NoEcu", 2, 0, "ECU не отвечает"},
                                         ErrorsCase{"RxD", 8, 0, "Ошибка RxD"}, ErrorsCase{"UnknownKind", 3, 0, "-"},
                                         ErrorsCase{"SystemOnly", 0, ENOENT, "-"},
                                         ErrorsCase{"TxDAndSystem", 7, EACCES, "Ошибка TxD"}),
                         testing_support::CaseName());

}  // namespace
