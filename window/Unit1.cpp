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

QFont WindowFont()
{
    return Font(QStringLiteral("MS Sans Serif"), 11, false);
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

QLineEdit *MakeEdit(QWidget *parent, const char *text, int left, int top)
{
    auto *edit = new QLineEdit(QString::fromUtf8(text), parent);
    edit->setMaxLength(kMaxTypedLength);
    edit->setGeometry(left, top, kInputWidth, kInputHeight);
    return edit;
}

QComboBox *MakeList(QWidget *parent, const QStringList &items, int index, int left, int top)
{
    auto *box = new QComboBox(parent);
    box->addItems(items);
    box->setCurrentIndex(index);
    box->setGeometry(left, top, kInputWidth, kInputHeight);
    return box;
}

TSpinEdit *MakeSpin(QWidget *parent, int value, int left, int top)
{
    auto *spin = new TSpinEdit(parent);
    spin->setValue(value);
    spin->setGeometry(left, top, kInputWidth, kSpinHeight);
    return spin;
}

QCheckBox *MakeCheck(QWidget *parent, const char *text, int left, int top)
{
    auto *check = new QCheckBox(QString::fromUtf8(text), parent);
    check->setFont(LabelFont());
    check->setGeometry(left, top, 105, 17);
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
    Label5 = MakeLabel(this, "COM:", 8, 10);
    ComboBox1 = new TDropDownComboBox(this);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setEditText(QStringLiteral("COM1"));
    ComboBox1->setGeometry(80, 8, kInputWidth, kInputHeight);
    Label10 = MakeLabel(this, "RTO:", 8, 34);
    SpinEdit3 = MakeSpin(this, 1000, 80, 32);
    Label14 = MakeLabel(this, "Hardw:", 8, 58);
    ComboBox2 = MakeList(this, {"VEKTA", "TRILOX"}, 0, 80, 56);
    Label8 = MakeLabel(this, "CAN BAUD:", 8, 82);
    SpinEdit1 = MakeSpin(this, 500000, 80, 80);
    Label12 = MakeLabel(this, "SAMP:", 8, 106);
    ComboBox3 = MakeList(this, {"60", "65", "70", "75", "80", "85"}, 4, 80, 104);
    Label13 = MakeLabel(this, "SJW:", 8, 130);
    ComboBox4 = MakeList(this, {"5", "10", "15", "20"}, 2, 80, 128);
    Label7 = MakeLabel(this, "RADR11:", 152, 10);
    Edit1 = MakeEdit(this, "000007E0", 208, 8);
    Label17 = MakeLabel(this, "RADR12:", 152, 34);
    Edit2 = MakeEdit(this, "000007E8", 208, 32);
    Label11 = MakeLabel(this, "RMSK1:", 152, 106);
    Edit3 = MakeEdit(this, "00000FFF", 208, 104);
    Label15 = MakeLabel(this, "BITS:", 152, 130);
    ComboBox5 = MakeList(this, {"CAN11", "CAN29"}, 0, 208, 128);
    Label6 = MakeLabel(this, "RADR21:", 280, 10);
    Edit4 = MakeEdit(this, "000007E1", 336, 8);
    Label18 = MakeLabel(this, "RADR22:", 280, 34);
    Edit5 = MakeEdit(this, "000007E9", 336, 32);
    Label19 = MakeLabel(this, "RADR23:", 280, 58);
    Edit6 = MakeEdit(this, "000007E2", 336, 56);
    Label20 = MakeLabel(this, "RADR24:", 280, 82);
    Edit7 = MakeEdit(this, "000007EA", 336, 80);
    Label9 = MakeLabel(this, "RMSK2:", 280, 106);
    Edit8 = MakeEdit(this, "00000FFF", 336, 104);
    Label16 = MakeLabel(this, "BITS:", 280, 130);
    ComboBox6 = MakeList(this, {"CAN11", "CAN29"}, 0, 336, 128);
    CheckBox1 = MakeCheck(this, "Adapter LOG", 8, 154);
    CheckBox2 = MakeCheck(this, "CAN LOG", 152, 154);
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
    QWidget *const order[] = {Button1,   Button2,   ComboBox1, Edit2,     SpinEdit3, Button3,
                              Edit3,     CheckBox1, CheckBox2, SpinEdit1, ComboBox2, Edit1,
                              Edit4,     StringGrid1, ComboBox3, ComboBox4, ComboBox5, ComboBox6,
                              Edit5,     Edit6,     Edit7,     Edit8};
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
