#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <climits>
#include <ostream>

#include "FormFixture.h"
#include "tests/support/CaseNames.h"
#include "window/DropDownComboBox.h"
#include "window/PortList.h"
#include "window/SpinEdit.h"
#include "window/StringGrid.h"

namespace {

class LayoutTest : public FormTest {};

TEST_F(LayoutTest, CaptionCarriesTheBuildsVersion)
{
    TForm1 &form = CreateForm();
    EXPECT_EQ(form.MyVersion(), QStringLiteral(VEKTAMON_VERSION));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("VEKTA Sniffer v" VEKTAMON_VERSION));
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
}

TEST_F(LayoutTest, ControlsStartAtTheirDesignedValues)
{
    TForm1 &form = CreateForm();
    EXPECT_EQ(form.size(), QSize(409, 274));
    EXPECT_EQ(form.ComboBox1->currentText(), "COM1");
    const std::pair<QComboBox *, QString> lists[] = {
        {form.ComboBox2, "VEKTA"}, {form.ComboBox3, "80"},    {form.ComboBox4, "15"},
        {form.ComboBox5, "CAN11"}, {form.ComboBox6, "CAN11"},
    };
    for (const auto &[box, text] : lists)
        EXPECT_EQ(box->currentText(), text);
    EXPECT_EQ(form.ComboBox2->count(), 2);
    EXPECT_EQ(form.ComboBox3->itemText(0), "60");
    EXPECT_EQ(form.ComboBox3->itemText(5), "85");
    EXPECT_EQ(form.ComboBox4->count(), 4);
    EXPECT_EQ(form.SpinEdit1->value(), 500000);
    EXPECT_EQ(form.SpinEdit3->value(), 1000);
    const std::pair<QLineEdit *, QString> edits[] = {
        {form.Edit1, "000007E0"}, {form.Edit2, "000007E8"}, {form.Edit3, "00000FFF"}, {form.Edit4, "000007E1"},
        {form.Edit5, "000007E9"}, {form.Edit6, "000007E2"}, {form.Edit7, "000007EA"}, {form.Edit8, "00000FFF"},
    };
    for (const auto &[edit, text] : edits) {
        EXPECT_EQ(edit->text(), text);
        EXPECT_EQ(edit->maxLength(), 8);
    }
    EXPECT_FALSE(form.CheckBox1->isChecked());
    EXPECT_FALSE(form.CheckBox2->isChecked());
    EXPECT_EQ(form.Label1->text(), "Простой");
    EXPECT_EQ(form.Label2->text(), "-/-");
    for (QPushButton *button : {form.Button1, form.Button2, form.Button3})
        EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(form.Timer1->interval(), 100);
    EXPECT_TRUE(form.Timer1->isActive());
}

TEST_F(LayoutTest, OnlyThePortListTakesTyping)
{
    TForm1 &form = CreateForm();
    EXPECT_TRUE(form.ComboBox1->isEditable());
    for (QComboBox *box : {form.ComboBox2, form.ComboBox3, form.ComboBox4, form.ComboBox5, form.ComboBox6})
        EXPECT_FALSE(box->isEditable());
    for (QSpinBox *spin : {form.SpinEdit1, form.SpinEdit3}) {
        EXPECT_EQ(spin->minimum(), INT_MIN);
        EXPECT_EQ(spin->maximum(), INT_MAX);
    }
}

TEST_F(LayoutTest, ControlsSitAtTheirDesignedPlaces)
{
    TForm1 &form = CreateForm();
    const std::pair<QWidget *, QRect> placed[] = {
        {form.ComboBox1, {80, 8, 65, 21}},      {form.SpinEdit3, {80, 32, 65, 22}},
        {form.ComboBox2, {80, 56, 65, 21}},     {form.SpinEdit1, {80, 80, 65, 22}},
        {form.ComboBox3, {80, 104, 65, 21}},    {form.ComboBox4, {80, 128, 65, 21}},
        {form.Edit1, {208, 8, 65, 21}},         {form.Edit2, {208, 32, 65, 21}},
        {form.Edit3, {208, 104, 65, 21}},       {form.ComboBox5, {208, 128, 65, 21}},
        {form.Edit4, {336, 8, 65, 21}},         {form.Edit5, {336, 32, 65, 21}},
        {form.Edit6, {336, 56, 65, 21}},        {form.Edit7, {336, 80, 65, 21}},
        {form.Edit8, {336, 104, 65, 21}},       {form.ComboBox6, {336, 128, 65, 21}},
        {form.CheckBox1, {8, 154, 105, 17}},    {form.CheckBox2, {152, 154, 105, 17}},
        {form.StringGrid1, {55, 176, 308, 23}}, {form.Button1, {88, 208, 75, 25}},
        {form.Button2, {168, 208, 75, 25}},     {form.Button3, {248, 208, 75, 25}},
    };
    for (const auto &[widget, rect] : placed)
        EXPECT_EQ(widget->geometry(), rect) << widget->metaObject()->className();
    const std::tuple<QLabel *, const char *, QPoint> labels[] = {
        {form.Label5, "COM:", {8, 10}},       {form.Label10, "RTO:", {8, 34}},
        {form.Label14, "Hardw:", {8, 58}},    {form.Label8, "CAN BAUD:", {8, 82}},
        {form.Label12, "SAMP:", {8, 106}},    {form.Label13, "SJW:", {8, 130}},
        {form.Label7, "RADR11:", {152, 10}},  {form.Label17, "RADR12:", {152, 34}},
        {form.Label11, "RMSK1:", {152, 106}}, {form.Label15, "BITS:", {152, 130}},
        {form.Label6, "RADR21:", {280, 10}},  {form.Label18, "RADR22:", {280, 34}},
        {form.Label19, "RADR23:", {280, 58}}, {form.Label20, "RADR24:", {280, 82}},
        {form.Label9, "RMSK2:", {280, 106}},  {form.Label16, "BITS:", {280, 130}},
        {form.Label3, "Статус:", {8, 240}},   {form.Label1, "Простой", {72, 240}},
        {form.Label4, "Ошибки:", {8, 256}},   {form.Label2, "-/-", {72, 256}},
    };
    for (const auto &[label, text, at] : labels) {
        EXPECT_EQ(label->text(), QString::fromUtf8(text));
        EXPECT_EQ(label->pos(), at) << text;
        EXPECT_EQ(label->font().family(), "Arial");
        EXPECT_TRUE(label->font().bold());
        EXPECT_EQ(label->font().pixelSize(), 13);
    }
    EXPECT_EQ(form.CheckBox1->text(), "Adapter LOG");
    EXPECT_EQ(form.CheckBox2->text(), "CAN LOG");
    EXPECT_EQ(form.CheckBox1->font().pixelSize(), 13);
    EXPECT_EQ(form.Button1->text(), "Пуск");
    EXPECT_EQ(form.Button2->text(), "Стоп");
    EXPECT_EQ(form.Button3->text(), "В ЛОГ");
    EXPECT_EQ(form.Button1->font().family(), "MS Sans Serif");
    EXPECT_EQ(form.Button1->font().pixelSize(), 11);
}

TEST_F(LayoutTest, TabVisitsTheControlsInTheDesignedOrder)
{
    TForm1 &form = CreateForm();
    const std::vector<QWidget *> order = {
        form.Button1, form.Button2,     form.ComboBox1, form.Edit2,     form.SpinEdit3, form.Button3,
        form.Edit3,   form.CheckBox1,   form.CheckBox2, form.SpinEdit1, form.ComboBox2, form.Edit1,
        form.Edit4,   form.StringGrid1, form.ComboBox3, form.ComboBox4, form.ComboBox5, form.ComboBox6,
        form.Edit5,   form.Edit6,       form.Edit7,     form.Edit8};
    std::vector<QWidget *> visited{form.Button1};
    for (QWidget *w = form.Button1->nextInFocusChain(); w != form.Button1; w = w->nextInFocusChain())
        if (std::find(order.begin(), order.end(), w) != order.end())
            visited.push_back(w);
    EXPECT_EQ(visited, order);
}

TEST_F(LayoutTest, GridHasElevenColumnsOfTheDesignedWidths)
{
    TForm1 &form = CreateForm();
    ASSERT_EQ(form.StringGrid1->ColCount(), 11);
    const int widths[] = {60, 18, 18, 18, 18, 18, 18, 18, 18, 12, 60};
    for (int col = 0; col < 11; ++col)
        EXPECT_EQ(form.StringGrid1->ColWidth(col), widths[col]) << "column " << col;
    EXPECT_EQ(form.StringGrid1->DefaultRowHeight(), 18);
    EXPECT_EQ(form.StringGrid1->RowCount(), 1);
    EXPECT_EQ(form.StringGrid1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

struct ResizeCase {
    const char *name;
    QSize proposed;
    int height;
};

void PrintTo(const ResizeCase &c, std::ostream *out)
{
    *out << c.name << ": " << c.proposed.width() << " x " << c.proposed.height() << " gives height " << c.height;
}

class ResizeRuleTest : public FormTest, public testing::WithParamInterface<ResizeCase> {};

TEST_P(ResizeRuleTest, KeepsTheWidthAndAddsWholeGridRows)
{
    TForm1 &form = CreateForm();
    form.SetClientSize(GetParam().proposed.width(), GetParam().proposed.height());
    const int growth = GetParam().height - 274;
    EXPECT_EQ(form.size(), QSize(409, GetParam().height));
    EXPECT_EQ(form.StringGrid1->geometry(), QRect(55, 176, 308, 23 + growth));
    for (QPushButton *button : {form.Button1, form.Button2, form.Button3})
        EXPECT_EQ(button->y(), 208 + growth);
    EXPECT_EQ(form.Label1->pos(), QPoint(72, 240 + growth));
    EXPECT_EQ(form.Label3->pos(), QPoint(8, 240 + growth));
    EXPECT_EQ(form.Label2->pos(), QPoint(72, 256 + growth));
    EXPECT_EQ(form.Label4->pos(), QPoint(8, 256 + growth));
    EXPECT_EQ(form.Edit8->pos(), QPoint(336, 104));  // nothing above the grid moves
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ResizeRuleTest,
    testing::Values(ResizeCase{"OneRowMore", {409, 300}, 293}, ResizeCase{"Wider", {800, 300}, 293},
                    ResizeCase{"Narrower", {100, 274}, 274}, ResizeCase{"BelowTheMinimum", {409, 100}, 274},
                    ResizeCase{"Negative", {409, -5}, 274}, ResizeCase{"JustShortOfARow", {409, 292}, 274},
                    ResizeCase{"ExactlyARow", {409, 293}, 293}, ResizeCase{"RoundedDown", {409, 360}, 350}),
    testing_support::CaseName());

TEST_F(LayoutTest, AShownWindowKeepsTheRuleWhenResized)
{
    TForm1 &form = CreateForm();
    form.show();
    form.resize(600, 300);
    EXPECT_TRUE(WaitUntil([&form] { return form.size() == QSize(409, 293); })) << form.width() << "x" << form.height();
    EXPECT_EQ(form.Button1->y(), 227);
    EXPECT_EQ(form.Label1->y(), 259);
    EXPECT_EQ(form.Label2->y(), 275);
    EXPECT_EQ(form.StringGrid1->height(), 42);
    // A taller grid shows more rows without scrolling.
    form.StringGrid1->SetRowCount(2);
    EXPECT_EQ(form.StringGrid1->TopRow(), 0);
}

TEST_F(LayoutTest, OpeningThePortListKeepsTheTypedName)
{
    TForm1 &form = CreateForm();
    form.ComboBox1->addItem("stale");
    form.ComboBox1->setEditText("/tmp/my-adapter");
    form.show();
    form.ComboBox1->showPopup();  // opening the list rebuilds it
    form.ComboBox1->hidePopup();
    EXPECT_EQ(form.ComboBox1->currentText(), "/tmp/my-adapter");
    QStringList listed;
    for (int i = 0; i < form.ComboBox1->count(); ++i)
        listed.push_back(form.ComboBox1->itemText(i));
    QStringList expected;
    for (const std::string &name : SystemPortNames())
        expected.push_back(QString::fromStdString(name));
    EXPECT_EQ(listed, expected);
    form.ComboBox1DropDown();  // rebuilt, not appended
    EXPECT_EQ(form.ComboBox1->count(), expected.size());
}

}  // namespace
