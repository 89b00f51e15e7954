#include "Unit1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>

#include <chrono>

#include "CellPictures.h"
#include "DropDownComboBox.h"
#include "PortList.h"
#include "SpinEdit.h"
#include "StatusGrid.h"
#include "StringGrid.h"
#include "Version.h"
#include "settings/CaptureSetup.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kTimerPeriod = 100ms;
constexpr int kMaxTypedLength = 8;  // characters in an address or mask field
constexpr int kInputWidth = 65;
constexpr int kInputHeight = 21;
constexpr int kSpinHeight = 22;
constexpr int kButtonTop = 208;
constexpr int kStatusTop = 240;
constexpr int kErrorsTop = 256;
constexpr int kStatusTextLeft = 72;
constexpr int kCaptionLeft = 8;
constexpr int kGridWidth = 308;
constexpr int kGridHeight = 23;
constexpr int kGridRowHeight = 18;

// The designed face first, then a metric-compatible stand-in for systems
// without it.
QFont Font(const QString &designed, int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies({designed, QStringLiteral("Liberation Sans")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFont LabelFont()
{
    return Font(QStringLiteral("Arial"), 13, true);
}

// Qt on Windows draws through DirectWrite, which passes over the bitmap
// "MS Sans Serif": its outline twin keeps the labels apart at any scaling.
QFont WindowFont()
{
#ifdef _WIN32
    return Font(QStringLiteral("Microsoft Sans Serif"), 11, false);
#else
    return Font(QStringLiteral("MS Sans Serif"), 11, false);
#endif
}

QFont GridFont()
{
    return Font(QStringLiteral("Tahoma"), 11, true);
}

QLabel *MakeLabel(QWidget *parent, const char *text, int left, int top)
{
    auto *label = new QLabel(QString::fromUtf8(text), parent);
    label->setFont(LabelFont());
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLineEdit *MakeEdit(QWidget *parent, const std::string &text)
{
    auto *edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setMaxLength(kMaxTypedLength);
    return edit;
}

// The identifier length list shows "CAN11" and "CAN29".
constexpr char kBitsPrefix[] = "CAN";

QString ListText(const char *value)
{
    return QString::fromUtf8(value);
}

QString ListText(int32_t value)
{
    return QString::number(value);
}

QStringList ListTexts(const auto &values, const char *prefix = "")
{
    QStringList texts;
    for (const auto &value : values)
        texts.append(QString::fromUtf8(prefix) + ListText(value));
    return texts;
}

QComboBox *MakeList(QWidget *parent, const QStringList &items, int index)
{
    auto *box = new QComboBox(parent);
    box->addItems(items);
    box->setCurrentIndex(index);
    return box;
}

TSpinEdit *MakeSpin(QWidget *parent, int value)
{
    auto *spin = new TSpinEdit(parent);
    spin->setValue(value);
    return spin;
}

QCheckBox *MakeCheck(QWidget *parent, const char *text, bool checked)
{
    auto *check = new QCheckBox(QString::fromUtf8(text), parent);
    check->setFont(LabelFont());
    check->setChecked(checked);
    return check;
}

QPushButton *MakeButton(QWidget *parent, const char *text, int left)
{
    auto *button = new QPushButton(QString::fromUtf8(text), parent);
    button->setGeometry(left, kButtonTop, 75, 25);
    return button;
}

}  // namespace

TForm1::TForm1(const std::string &folder, QWidget *parent) : QWidget(parent)
{
    setFont(WindowFont());
    CreateControls();
    SetTabOrder();
    ConnectHandlers();
    // Width fixed, height in whole grid rows: window managers that honour
    // these hints never propose another size.
    setMinimumSize(kClientWidth, kClientHeight);
    setMaximumWidth(kClientWidth);
    setBaseSize(kClientWidth, kClientHeight);
    setSizeIncrement(1, kGridRowPitch);
    resize(kClientWidth, kClientHeight);
    FormCreate(folder);
    Timer1->start(kTimerPeriod);
}

TForm1::~TForm1() = default;

void TForm1::CreateControls()
{
    CreateInputs();
    CreateStatus();
}

void TForm1::CreateInputs()
{
    const CaptureSetup defaults;
    const auto &index = defaults.indexes;
    ComboBox1 = new TDropDownComboBox(this);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setEditText(QString::fromStdString(defaults.port));
    SpinEdit3 = MakeSpin(this, defaults.rto);
    ComboBox2 = MakeList(this, ListTexts(kAdapterKinds), index[SettingsIndex::kAdapter]);
    SpinEdit1 = MakeSpin(this, defaults.canBaud);
    ComboBox3 = MakeList(this, ListTexts(kSamplePoints), index[SettingsIndex::kSample]);
    ComboBox4 = MakeList(this, ListTexts(kSjwSteps), index[SettingsIndex::kSjw]);
    const auto &filter = defaults.filters;
    Edit1 = MakeEdit(this, filter[0]);
    Edit2 = MakeEdit(this, filter[1]);
    Edit3 = MakeEdit(this, filter[2]);
    ComboBox5 = MakeList(this, ListTexts(kIdentifierBits, kBitsPrefix), index[SettingsIndex::kGroup1Bits]);
    Edit4 = MakeEdit(this, filter[3]);
    Edit5 = MakeEdit(this, filter[4]);
    Edit6 = MakeEdit(this, filter[5]);
    Edit7 = MakeEdit(this, filter[6]);
    Edit8 = MakeEdit(this, filter[7]);
    ComboBox6 = MakeList(this, ListTexts(kIdentifierBits, kBitsPrefix), index[SettingsIndex::kGroup2Bits]);
    CheckBox1 = MakeCheck(this, "Adapter LOG", defaults.adapterLog);
    CheckBox2 = MakeCheck(this, "CAN LOG", defaults.canLog);
    PlaceInputs();
}

// The designed layout: each control with its caption (a check box carries its
// own), in three columns of caption and field.
void TForm1::PlaceInputs()
{
    constexpr int kW = kInputWidth;
    constexpr int kH = kInputHeight;
    constexpr int kSpinH = kSpinHeight;
    const struct {
        QWidget *control;
        QLabel **label;
        const char *caption;
        int captionLeft, captionTop;
        QRect geometry;
    } fields[] = {
        {ComboBox1, &Label5, "COM:", 8, 10, {80, 8, kW, kH}},
        {SpinEdit3, &Label10, "RTO:", 8, 34, {80, 32, kW, kSpinH}},
        {ComboBox2, &Label14, "Hardw:", 8, 58, {80, 56, kW, kH}},
        {SpinEdit1, &Label8, "CAN BAUD:", 8, 82, {80, 80, kW, kSpinH}},
        {ComboBox3, &Label12, "SAMP:", 8, 106, {80, 104, kW, kH}},
        {ComboBox4, &Label13, "SJW:", 8, 130, {80, 128, kW, kH}},
        {Edit1, &Label7, "RADR11:", 152, 10, {208, 8, kW, kH}},
        {Edit2, &Label17, "RADR12:", 152, 34, {208, 32, kW, kH}},
        {Edit3, &Label11, "RMSK1:", 152, 106, {208, 104, kW, kH}},
        {ComboBox5, &Label15, "BITS:", 152, 130, {208, 128, kW, kH}},
        {Edit4, &Label6, "RADR21:", 280, 10, {336, 8, kW, kH}},
        {Edit5, &Label18, "RADR22:", 280, 34, {336, 32, kW, kH}},
        {Edit6, &Label19, "RADR23:", 280, 58, {336, 56, kW, kH}},
        {Edit7, &Label20, "RADR24:", 280, 82, {336, 80, kW, kH}},
        {Edit8, &Label9, "RMSK2:", 280, 106, {336, 104, kW, kH}},
        {ComboBox6, &Label16, "BITS:", 280, 130, {336, 128, kW, kH}},
        {CheckBox1, nullptr, nullptr, 0, 0, {8, 154, 105, 17}},
        {CheckBox2, nullptr, nullptr, 0, 0, {152, 154, 105, 17}},
    };
    for (const auto &field : fields) {
        if (field.label != nullptr)
            *field.label = MakeLabel(this, field.caption, field.captionLeft, field.captionTop);
        field.control->setGeometry(field.geometry);
    }
}

void TForm1::CreateStatus()
{
    StringGrid1 = new TStringGrid(this);
    StringGrid1->setGeometry(55, 176, kGridWidth, kGridHeight);
    StringGrid1->SetColCount(StatusColumn::kColumns);
    StringGrid1->SetDefaultRowHeight(kGridRowHeight);
    cellPictures_ = std::make_unique<CellPictures>(GridFont());
    Button1 = MakeButton(this, "Пуск", 88);
    Button2 = MakeButton(this, "Стоп", 168);
    Button3 = MakeButton(this, "В ЛОГ", 248);
    Label3 = MakeLabel(this, "Статус:", kCaptionLeft, kStatusTop);
    Label1 = MakeLabel(this, "Простой", kStatusTextLeft, kStatusTop);
    Label4 = MakeLabel(this, "Ошибки:", kCaptionLeft, kErrorsTop);
    Label2 = MakeLabel(this, "-/-", kStatusTextLeft, kErrorsTop);
    Timer1 = new QTimer(this);
}

void TForm1::SetTabOrder()
{
    QWidget *const order[] = {Button1,   Button2,   ComboBox1, Edit2, SpinEdit3, Button3,     Edit3,     CheckBox1,
                              CheckBox2, SpinEdit1, ComboBox2, Edit1, Edit4,     StringGrid1, ComboBox3, ComboBox4,
                              ComboBox5, ComboBox6, Edit5,     Edit6, Edit7,     Edit8};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TForm1::ConnectHandlers()
{
    connect(ComboBox1, &TDropDownComboBox::DropDown, this, &TForm1::ComboBox1DropDown);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(StringGrid1, &TStringGrid::DrawCell, this, &TForm1::StringGrid1DrawCell);
}

QString TForm1::MyVersion() const
{
    return QString::fromStdString(ProgramVersion());
}

void TForm1::SetClientSize(int width, int height)
{
    bool allowed = true;
    FormCanResize(this, width, height, allowed);
    resize(width, height);
}

// Sizes here are of the client area; the frame adds the same to proposed and
// kept sizes alike, so the rule comes out the same as on the outer frame.
void TForm1::FormCanResize(QObject *, int &NewWidth, int &NewHeight, bool &Resize)
{
    NewWidth = kClientWidth;
    const int rows = std::max(NewHeight - kClientHeight, 0) / kGridRowPitch;
    NewHeight = kClientHeight + rows * kGridRowPitch;
    PlaceBelowGrid(rows * kGridRowPitch);
    Resize = true;
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    int width = event->size().width();
    int height = event->size().height();
    bool allowed = true;
    FormCanResize(this, width, height, allowed);
    if (QSize(width, height) != event->size())
        resize(width, height);
    QWidget::resizeEvent(event);
}

void TForm1::PlaceBelowGrid(int growth)
{
    Label3->move(kCaptionLeft, kStatusTop + growth);
    Label1->move(kStatusTextLeft, kStatusTop + growth);
    Label4->move(kCaptionLeft, kErrorsTop + growth);
    Label2->move(kStatusTextLeft, kErrorsTop + growth);
    for (QPushButton *button : {Button1, Button2, Button3})
        button->move(button->x(), kButtonTop + growth);
    StringGrid1->resize(kGridWidth, kGridHeight + growth);
}

void TForm1::CentreOnScreen()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm1::ComboBox1DropDown()
{
    const QString typed = ComboBox1->currentText();
    ComboBox1->clear();
    for (const std::string &name : SystemPortNames())
        ComboBox1->addItem(QString::fromStdString(name));
    ComboBox1->setEditText(typed);
}
