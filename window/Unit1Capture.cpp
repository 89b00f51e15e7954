// The operator's side of a capture: Start, Stop, cut the log, and the status
// shown every timer tick.
#include "Unit1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

#include "CellPictures.h"
#include "DropDownComboBox.h"
#include "ErrorBox.h"
#include "HexParse.h"
#include "SettingsFile.h"
#include "SpinEdit.h"
#include "StatusGrid.h"
#include "StringGrid.h"
#include "capture/AdapterProtocol.h"
#include "capture/ErrorText.h"
#include "capture/Unit2.h"

namespace {

constexpr QRgb kTextColour = 0xFF000000;     // black
constexpr QRgb kChangedColour = 0xFFFF0000;  // red

std::optional<std::string> CopyHex(const QLineEdit *edit, RelaxedAtomic<uint32_t> &field, const QComboBox *bits)
{
    const std::string text = edit->text().toStdString();
    auto value = ParseHex8(text);
    if (!value)
        return NotHexText(text);
    if (bits && bits->currentIndex() > 0)
        *value |= kExtendedFlag;
    field = *value;
    return std::nullopt;
}

std::optional<std::string> CopyInteger(const QComboBox *box, RelaxedAtomic<uint32_t> &field)
{
    const std::string text = box->currentText().toStdString();
    const auto value = ToInteger(text);
    if (!value)
        return NotIntegerText(text);
    field = static_cast<uint32_t>(*value);
    return std::nullopt;
}

QString StateText(int32_t state)
{
    switch (state) {
    case CaptureState::kIdle: return QStringLiteral("Простой");
    case CaptureState::kOpening:
        return QStringLiteral("Открытие ") + QString::fromStdString(LoadText(CaptureControl.portName));
    case CaptureState::kReceiving: return QStringLiteral("Обмен (- мс)");
    // One text for either kind: operators know the state by this text,
    // whichever adapter they chose.
    case CaptureState::kInitialising: return QStringLiteral("Инициализация TRILOX");
    default: return {};
    }
}

QString ErrorsText(int32_t kind, uint32_t sysError)
{
    const std::string_view kindText = ErrorKindText(kind);
    QString text =
        kindText.empty() ? QStringLiteral("-") : QString::fromUtf8(kindText.data(), qsizetype(kindText.size()));
    text += u'/';
    text += sysError != 0 ? QString::fromStdString(SystemErrorText(sysError)) : QStringLiteral("-");
    return text;
}

}  // namespace

void TForm1::Button1Click()
{
    if (auto failure = CopyParameters()) {
        ShowError(QString::fromStdString(*failure));
        return;
    }
    CaptureControl.flags.store(FlagWord::kStart);
}

// Every field in the order the operator reads them; a field that does not
// convert ends the copy there and no run is requested.
std::optional<std::string> TForm1::CopyParameters()
{
    TCaptureControl &control = CaptureControl;
    StoreText(control.portName, ComboBox1->currentText().toStdString());
    control.canBaud = static_cast<uint32_t>(SpinEdit1->Value());
    const struct {
        const QLineEdit *edit;
        RelaxedAtomic<uint32_t> &field;
        const QComboBox *bits;
    } hexFields[] = {
        {Edit1, control.radr11, ComboBox5}, {Edit2, control.radr12, nullptr}, {Edit3, control.rmsk1, nullptr},
        {Edit4, control.radr21, ComboBox6}, {Edit5, control.radr22, nullptr}, {Edit6, control.radr23, nullptr},
        {Edit7, control.radr24, nullptr},   {Edit8, control.rmsk2, nullptr},
    };
    for (const auto &hex : hexFields)
        if (auto failure = CopyHex(hex.edit, hex.field, hex.bits))
            return failure;
    control.rto = static_cast<uint32_t>(SpinEdit3->Value());
    if (auto failure = CopyInteger(ComboBox3, control.samp))
        return failure;
    if (auto failure = CopyInteger(ComboBox4, control.sjw))
        return failure;
    control.adapterLog = CheckBox1->isChecked();
    control.canLog = CheckBox2->isChecked();
    control.hardware = static_cast<uint8_t>(ComboBox2->currentIndex());
    return std::nullopt;
}

void TForm1::Button2Click()
{
    CaptureControl.flags.store(FlagWord::kAlive);
}

void TForm1::Button3Click()
{
    CaptureControl.flags.store(FlagWord::kStartAndCut);
    Button3->setEnabled(false);
}

void TForm1::Timer1Timer()
{
    ShowState();
    ShowErrors();
    ShowButtons();
    StringGrid1->SetRowCount(CaptureControl.frameCount.load(std::memory_order_acquire));
    StringGrid1->viewport()->update();
}

void TForm1::ShowState()
{
    const QString text = StateText(CaptureControl.state.load());
    if (text.isEmpty())
        return;
    Label1->setText(text);
    Label1->adjustSize();
}

void TForm1::ShowErrors()
{
    Label2->setText(ErrorsText(CaptureControl.errorKind.load(), CaptureControl.sysError.load()));
    Label2->adjustSize();
}

void TForm1::ShowButtons()
{
    if (endingThread_)
        return;  // the buttons stay disabled until the window is gone
    const uint16_t flags = CaptureControl.flags.load();
    const bool runRequested = (flags & FlagWord::kRunRequested) != 0;
    Button1->setEnabled(!runRequested);
    Button2->setEnabled(runRequested);
    // While a cut is pending the button keeps the state its own click gave it.
    if (!runRequested)
        Button3->setEnabled(false);
    else if ((flags & FlagWord::kCutLog) == 0)
        Button3->setEnabled(true);
}

void TForm1::StringGrid1DrawCell(QPainter *Canvas, int ACol, int ARow, const QRect &Rect)
{
    const bool tableEmpty = CaptureControl.frameCount.load(std::memory_order_acquire) == 0;
    const FrameEntry &entry = CaptureControl.frames[std::clamp(ARow, 0, kFrameTableSize - 1)];
    const CellLook look{CellText(entry, ACol, tableEmpty),
                        ACol == StatusColumn::kCount ? Qt::AlignRight : Qt::AlignHCenter,
                        CellChanged(entry, ACol) ? kChangedColour : kTextColour, Canvas->brush().color().rgba()};
    cellPictures_->Draw(*Canvas, Rect, look);
    Canvas->setBrush(Qt::white);
}
