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
#include <cstdio>
#include <filesystem>

#include "DropDownComboBox.h"
#include "ErrorBox.h"
#include "ScreenPlacement.h"
#include "SpinEdit.h"
#include "StatusGrid.h"
#include "StringGrid.h"
#include "Version.h"
#include "capture/Unit2.h"
#include "common/Utf8File.h"
#include "settings/FilesFolder.h"
#include "settings/SettingsFile.h"
#include "settings/StoredSettings.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kEndPollPeriod = 10ms;
constexpr int kIdColWidth = 60;
constexpr int kByteColWidth = 18;
constexpr int kLengthColWidth = 12;
constexpr int kCountColWidth = 60;

std::string Utf8(const QString &text)
{
    return text.toStdString();
}

QString FromUtf8(const std::string &text)
{
    return QString::fromStdString(text);
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
    if (!placedFromSettings_ || !IsReachablePlace(frameGeometry()))
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
    if (!std::filesystem::is_regular_file(Utf8Path(path), error))
        return;
    SettingsText text;
    std::optional<std::string> failure = ReadSettingsFile(path, text);
    if (!failure)
        failure = ApplySettings(text);
    if (failure)
        ShowError(FromUtf8(*failure));
}

// The values read before a line that does not convert still apply.
std::optional<std::string> TForm1::ApplySettings(const SettingsText &text)
{
    StoredSettings stored;
    const std::optional<std::string> failure = ReadStoredSettings(text, stored);
    ComboBox1->setEditText(FromUtf8(*stored.port));
    ApplyIndexes(stored);
    ApplyChecks(stored);
    ApplyNumbers(stored);
    ApplyTexts(stored);
    ApplyPlacement(stored);
    return failure;
}

void TForm1::ApplyIndexes(const StoredSettings &stored)
{
    QComboBox *const boxes[] = {ComboBox2, ComboBox3, ComboBox4, ComboBox5, ComboBox6};
    for (size_t i = 0; i < std::size(boxes); ++i)
        if (stored.indexes[i])
            boxes[i]->setCurrentIndex(*stored.indexes[i]);
}

void TForm1::ApplyChecks(const StoredSettings &stored)
{
    QCheckBox *const checks[] = {CheckBox1, CheckBox2};
    for (size_t i = 0; i < std::size(checks); ++i)
        if (stored.checks[i])
            checks[i]->setChecked(*stored.checks[i]);
}

void TForm1::ApplyNumbers(const StoredSettings &stored)
{
    QSpinBox *const spins[] = {SpinEdit1, SpinEdit3};
    for (size_t i = 0; i < std::size(spins); ++i)
        if (stored.numbers[i])
            spins[i]->setValue(*stored.numbers[i]);
}

void TForm1::ApplyTexts(const StoredSettings &stored)
{
    QLineEdit *const edits[] = {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8};
    for (size_t i = 0; i < std::size(edits); ++i) {
        if (!stored.texts[i])
            continue;
        const QString text = FromUtf8(*stored.texts[i]);
        // The typing limit must not cut a longer stored text.
        edits[i]->setMaxLength(std::max(edits[i]->maxLength(), int(text.size())));
        edits[i]->setText(text);
    }
}

// Height, width, top, left, each as far as it was read; the window keeps the
// place it was given only when all four were.
void TForm1::ApplyPlacement(const StoredSettings &stored)
{
    const auto &[height, width, top, left] = stored.placement;
    if (height)
        SetClientSize(this->width(), *height);
    if (width)
        SetClientSize(*width, this->height());
    if (top)
        move(x(), *top);
    if (left)
        move(*left, y());
    placedFromSettings_ = left.has_value();
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
            saveFailed_ = true;
            if (!unattended_) {
                ShowError(FromUtf8(*failure));
                return false;
            }
            // A box would hold a logout's close until someone answers it.
            std::fprintf(stderr, "vektamon: settings not saved to %s: %s\n", SettingsPath().c_str(), failure->c_str());
        }
    }
    EndCaptureThread();
    return true;
}

void TForm1::CloseUnattended()
{
    unattended_ = true;
    close();
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
