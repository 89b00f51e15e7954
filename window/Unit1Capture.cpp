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
#include "SpinEdit.h"
#include "StatusGrid.h"
#include "StringGrid.h"
#include "capture/Unit2.h"
#include "common/ErrorText.h"
#include "settings/CaptureSetup.h"

namespace {

constexpr QRgb kTextColour = 0xFF000000;     // black
constexpr QRgb kChangedColour = 0xFFFF0000;  // red

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

// A field that does not convert ends the copy there and no run is requested.
std::optional<std::string> TForm1::CopyParameters()
{
    CaptureSetup setup;
    setup.port = ComboBox1->currentText().toStdString();
    const QComboBox *const lists[] = {ComboBox2, ComboBox3, ComboBox4, ComboBox5, ComboBox6};
    for (size_t i = 0; i < setup.indexes.size(); ++i)
        setup.indexes[i] = lists[i]->currentIndex();
    setup.adapterLog = CheckBox1->isChecked();
    setup.canLog = CheckBox2->isChecked();
    setup.canBaud = SpinEdit1->Value();
    setup.rto = SpinEdit3->Value();
    const QLineEdit *const edits[] = {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8};
    for (size_t i = 0; i < setup.filters.size(); ++i)
        setup.filters[i] = edits[i]->text().toStdString();
    return CopyToControl(setup, CaptureControl);
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
