// Window creation and close: the settings file, the capture thread's start and
// end, the grid's set-up.
#include "Unit1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <chrono>
#include <filesystem>

#include "DropDownComboBox.h"
#include "ErrorBox.h"
#include "FilesFolder.h"
#include "SettingsFile.h"
#include "SpinEdit.h"
#include "StatusGrid.h"
#include "StringGrid.h"
#include "Unit2.h"
#include "Version.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kEndPollPeriod = 10ms;
constexpr int kIdColWidth = 60;
constexpr int kByteColWidth = 18;
constexpr int kLengthColWidth = 12;
constexpr int kCountColWidth = 60;

// Line numbers (from 0) of the settings file.
namespace Line {
constexpr size_t kPort = 0;
constexpr size_t kFirstIndex = 1;   // ComboBox2..ComboBox6
constexpr size_t kFirstCheck = 6;   // CheckBox1, CheckBox2
constexpr size_t kFirstNumber = 8;  // SpinEdit1, SpinEdit3
constexpr size_t kFirstText = 10;   // Edit1..Edit8
constexpr size_t kHeight = 18;
constexpr size_t kWidth = 19;
constexpr size_t kTop = 20;
constexpr size_t kLeft = 21;
}  // namespace Line

std::string Utf8(const QString &text)
{
    return text.toStdString();
}

QString FromUtf8(const std::string &text)
{
    return QString::fromStdString(text);
}

// Converts a line to an integer and hands it on; answers the error otherwise.
template <class Apply>
std::optional<std::string> ApplyInteger(const std::string &line, Apply apply)
{
    const auto value = ToInteger(line);
    if (!value)
        return NotIntegerText(line);
    apply(*value);
    return std::nullopt;
}

// Processes window messages until done() holds.
template <class Done>
void ProcessMessagesUntil(Done done)
{
    if (done())
        return;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(kEndPollPeriod);
    loop.exec();
}

}  // namespace

void TForm1::FormCreate(const std::string &folder)
{
    setWindowTitle(QString::fromUtf8(kCaptionPrefix) + MyVersion());
    CaptureControl.flags.store(FlagWord::kThreadEnded);
    StoreText(CaptureControl.logPath, FitUtf8(folder, kTextFieldSize - 1));
    LoadSettings();
    if (!placedFromSettings_)
        CentreOnScreen();
    StartCaptureThread();
    SetUpGrid();
}

std::string TForm1::SettingsPath() const
{
    return LoadText(CaptureControl.logPath) + kSettingsFileName;
}

void TForm1::LoadSettings()
{
    const std::string path = SettingsPath();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return;
    SettingsText text;
    std::optional<std::string> failure = ReadSettingsFile(path, text);
    if (!failure)
        failure = ApplySettings(text);
    if (failure)
        ShowError(FromUtf8(*failure));
}

std::optional<std::string> TForm1::ApplySettings(const SettingsText &text)
{
    ComboBox1->setEditText(FromUtf8(text.Line(Line::kPort)));
    if (auto failure = ApplyIndexes(text))
        return failure;
    if (auto failure = ApplyChecks(text))
        return failure;
    if (auto failure = ApplyNumbers(text))
        return failure;
    ApplyTexts(text);
    return ApplyPlacement(text);
}

std::optional<std::string> TForm1::ApplyIndexes(const SettingsText &text)
{
    QComboBox *const boxes[] = {ComboBox2, ComboBox3, ComboBox4, ComboBox5, ComboBox6};
    for (size_t i = 0; i < std::size(boxes); ++i) {
        QComboBox *box = boxes[i];
        if (auto failure = ApplyInteger(text.Line(Line::kFirstIndex + i), [box](int index) { box->setCurrentIndex(index); }))
            return failure;
    }
    return std::nullopt;
}

std::optional<std::string> TForm1::ApplyChecks(const SettingsText &text)
{
    QCheckBox *const checks[] = {CheckBox1, CheckBox2};
    for (size_t i = 0; i < std::size(checks); ++i) {
        const std::string line = text.Line(Line::kFirstCheck + i);
        const auto checked = ToBoolean(line);
        if (!checked)
            return NotBooleanText(line);
        checks[i]->setChecked(*checked);
    }
    return std::nullopt;
}

std::optional<std::string> TForm1::ApplyNumbers(const SettingsText &text)
{
    QSpinBox *const spins[] = {SpinEdit1, SpinEdit3};
    for (size_t i = 0; i < std::size(spins); ++i) {
        QSpinBox *spin = spins[i];
        if (auto failure = ApplyInteger(text.Line(Line::kFirstNumber + i), [spin](int value) { spin->setValue(value); }))
            return failure;
    }
    return std::nullopt;
}

void TForm1::ApplyTexts(const SettingsText &text)
{
    QLineEdit *const edits[] = {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8};
    for (size_t i = 0; i < std::size(edits); ++i) {
        const QString stored = FromUtf8(text.Line(Line::kFirstText + i));
        // The typing limit must not cut a longer stored text.
        edits[i]->setMaxLength(std::max(edits[i]->maxLength(), int(stored.size())));
        edits[i]->setText(stored);
    }
}

std::optional<std::string> TForm1::ApplyPlacement(const SettingsText &text)
{
    if (auto failure = ApplyInteger(text.Line(Line::kHeight), [this](int h) { SetClientSize(width(), h); }))
        return failure;
    if (auto failure = ApplyInteger(text.Line(Line::kWidth), [this](int w) { SetClientSize(w, height()); }))
        return failure;
    if (auto failure = ApplyInteger(text.Line(Line::kTop), [this](int top) { move(x(), top); }))
        return failure;
    if (auto failure = ApplyInteger(text.Line(Line::kLeft), [this](int left) { move(left, y()); }))
        return failure;
    placedFromSettings_ = true;
    return std::nullopt;
}

std::vector<std::string> TForm1::SettingsValues() const
{
    std::vector<std::string> values{Utf8(ComboBox1->currentText())};
    for (const QComboBox *box : {ComboBox2, ComboBox3, ComboBox4, ComboBox5, ComboBox6})
        values.push_back(std::to_string(box->currentIndex()));
    for (const QCheckBox *check : {CheckBox1, CheckBox2})
        values.push_back(check->isChecked() ? "-1" : "0");
    for (const TSpinEdit *spin : {SpinEdit1, SpinEdit3})
        values.push_back(std::to_string(spin->Value()));
    for (const QLineEdit *edit : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8})
        values.push_back(Utf8(edit->text()));
    for (int number : {height(), width(), y(), x()})
        values.push_back(std::to_string(number));
    return values;
}

void TForm1::StartCaptureThread()
{
    try {
        TC1 *thread = new TC1(true);
        thread->Control = &CaptureControl;
        thread->Start();
        captureThreadStarted_ = true;
    } catch (const std::exception &error) {
        ShowError(QString::fromLocal8Bit(error.what()));
    }
}

void TForm1::SetUpGrid()
{
    StringGrid1->SetColWidth(StatusColumn::kId, kIdColWidth);
    for (int col = StatusColumn::kFirstByte; col <= StatusColumn::kLastByte; ++col)
        StringGrid1->SetColWidth(col, kByteColWidth);
    StringGrid1->SetColWidth(StatusColumn::kLength, kLengthColWidth);
    StringGrid1->SetColWidth(StatusColumn::kCount, kCountColWidth);
}

// After a failed save the next close ends the program unsaved: a full disk or
// a read-only home must never keep it open.
bool TForm1::FormClose()
{
    if (!saveFailed_) {
        if (auto failure = WriteSettingsFile(SettingsPath(), SettingsValues())) {
            ShowError(FromUtf8(*failure));
            saveFailed_ = true;
            return false;
        }
    }
    EndCaptureThread();
    return true;
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // A second close while the first waits for the thread is left to the first.
    if (closing_) {
        event->ignore();
        return;
    }
    closing_ = true;
    event->setAccepted(FormClose());
    closing_ = false;
}

// The thread announces itself by replacing 0x2000 with 0x8000; an end request
// written before that would be overwritten, so it waits for the announcement.
void TForm1::EndCaptureThread()
{
    if (!captureThreadStarted_)
        return;
    // A Start now would keep the thread from ending.
    endingThread_ = true;
    for (QPushButton *button : {Button1, Button2, Button3})
        button->setEnabled(false);
    auto &flags = CaptureControl.flags;
    ProcessMessagesUntil([&flags] { return flags.load() != FlagWord::kThreadEnded; });
    flags.store(FlagWord::kEnd);
    ProcessMessagesUntil([&flags] { return flags.load() == FlagWord::kThreadEnded; });
    captureThreadStarted_ = false;
}
