#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <ostream>
#include <vector>

#include "FormFixture.h"
#include "capture/Unit2.h"
#include "tests/support/CaseNames.h"
#include "window/StatusGrid.h"
#include "window/StringGrid.h"

namespace {

void Fill(FrameEntry &entry, uint32_t id, uint32_t count, std::initializer_list<uint8_t> data)
{
    entry.id = id;
    entry.count = count;
    entry.length = static_cast<uint8_t>(data.size());
    int i = 0;
    for (uint8_t byte : data)
        entry.data[i++] = byte;
    for (auto &mark : entry.changed)
        mark = 0;
}

struct CellCase {
    const char *name;
    int col;
    bool tableEmpty;
    const char *text;
};

void PrintTo(const CellCase &c, std::ostream *out)
{
    *out << c.name << ": column " << c.col << (c.tableEmpty ? " of an empty table" : "") << " reads '" << c.text << "'";
}

class CellTextTest : public testing::TestWithParam<CellCase> {
protected:
    void SetUp() override { Fill(entry_, 0x7E8, 4294967295u, {0x03, 0x41, 0x0C}); }
    FrameEntry entry_;
};

TEST_P(CellTextTest, ShowsTheEntrysValues)
{
    EXPECT_EQ(CellText(entry_, GetParam().col, GetParam().tableEmpty).View(), GetParam().text)
        << "column " << GetParam().col;
}

INSTANTIATE_TEST_SUITE_P(
    Columns, CellTextTest,
    testing::Values(CellCase{"Id", 0, false, "000007E8"}, CellCase{"Byte1", 1, false, "03"},
                    CellCase{"Byte2", 2, false, "41"}, CellCase{"Byte3", 3, false, "0C"},
                    CellCase{"Byte4BeyondTheLength", 4, false, "-"}, CellCase{"Byte8BeyondTheLength", 8, false, "-"},
                    CellCase{"Length", 9, false, "3"}, CellCase{"LargestCount", 10, false, "4294967295"},
                    CellCase{"EmptyTableId", 0, true, "-"}, CellCase{"EmptyTableByte", 1, true, "-"},
                    CellCase{"EmptyTableLength", 9, true, "-"}, CellCase{"EmptyTableCount", 10, true, "-"}),
    testing_support::CaseName());

TEST(CellText, ShowsEightBytesAndA29BitIdentifier)
{
    FrameEntry entry;
    Fill(entry, 0x18DAF110, 1, {1, 2, 3, 4, 5, 6, 7, 0xFF});
    EXPECT_EQ(CellText(entry, 0, false).View(), "18DAF110");
    EXPECT_EQ(CellText(entry, 8, false).View(), "FF");
    EXPECT_EQ(CellText(entry, 9, false).View(), "8");
}

TEST(CellChanged, FollowsTheMarksOfBytesAndLength)
{
    FrameEntry entry;
    Fill(entry, 1, 1, {1});
    entry.changed[0] = 1;
    entry.changed[8] = 1;
    EXPECT_FALSE(CellChanged(entry, 0));
    EXPECT_TRUE(CellChanged(entry, 1));
    EXPECT_FALSE(CellChanged(entry, 2));
    EXPECT_TRUE(CellChanged(entry, 9));  // the length's mark
    EXPECT_FALSE(CellChanged(entry, 10));
}

// What one cell looks like once drawn: whether it holds red, and the box
// around its dark (text) pixels.
struct CellLook {
    bool red = false;
    QRect ink;
};

CellLook Look(const QImage &image, const QRect &cell)
{
    CellLook look;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 90 && c.blue() < 90)
                look.red = true;
            if (c.red() < 110 && c.green() < 110 && c.blue() < 110)
                look.ink |= QRect(x, y, 1, 1);
        }
    }
    return look;
}

class GridDrawingTest : public FormTest {
protected:
    // Draws every cell of row 0 on a white image.
    QImage DrawRow(TForm1 &form)
    {
        const QRect last = form.StringGrid1->CellRect(10, 0);
        QImage image(last.right() + 2, last.bottom() + 2, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter canvas(&image);
        for (int col = 0; col < 11; ++col) {
            canvas.setBrush(Qt::white);
            form.StringGrid1DrawCell(&canvas, col, 0, form.StringGrid1->CellRect(col, 0));
        }
        return image;
    }
};

TEST_F(GridDrawingTest, AChangedByteIsRedAndBytesBeyondTheLengthAreDashes)
{
    TForm1 &form = CreateForm();
    Fill(CaptureControl.frames[0], 0x7E8, 12, {0x03, 0x41, 0x0C});
    CaptureControl.frames[0].changed[1] = 1;
    CaptureControl.frameCount.store(1, std::memory_order_release);
    const QImage image = DrawRow(form);
    const auto cell = [&form](int col) { return form.StringGrid1->CellRect(col, 0); };

    EXPECT_TRUE(Look(image, cell(2)).red) << "the changed byte";
    for (int col : {0, 1, 3, 4, 9, 10})
        EXPECT_FALSE(Look(image, cell(col)).red) << "column " << col;
    const QRect digits = Look(image, cell(1)).ink;
    for (int col = 4; col <= 8; ++col) {
        const QRect dash = Look(image, cell(col)).ink;
        EXPECT_FALSE(dash.isEmpty()) << "column " << col;
        EXPECT_LE(dash.height(), 3) << "column " << col;  // a dash, not digits
        EXPECT_GT(digits.height(), dash.height() + 3);
    }
    // The frame around a cell is silver, on the grid line next to it.
    const QRect first = cell(0);
    EXPECT_EQ(image.pixelColor(first.right() + 1, first.center().y()), QColor(192, 192, 192));
}

TEST_F(GridDrawingTest, AnEmptyTableShowsOneRowOfDashes)
{
    TForm1 &form = CreateForm();
    Fill(CaptureControl.frames[0], 0x7E8, 12, {1, 2, 3, 4, 5, 6, 7, 8});  // left from an earlier run
    form.Timer1Timer();
    EXPECT_EQ(form.StringGrid1->RowCount(), 1);
    const QImage image = DrawRow(form);
    for (int col = 0; col < 11; ++col) {
        const QRect ink = Look(image, form.StringGrid1->CellRect(col, 0)).ink;
        EXPECT_FALSE(ink.isEmpty()) << "column " << col;
        EXPECT_LE(ink.height(), 3) << "column " << col;
    }
}

TEST_F(GridDrawingTest, TheGridPaintsItsRowsThroughTheHandler)
{
    TForm1 &form = CreateForm();
    for (uint16_t row = 0; row < 3; ++row) {
        Fill(CaptureControl.frames[row], 0x100 + row, 1, {0x55});
        CaptureControl.frames[row].changed[0] = row == 2;
    }
    CaptureControl.frameCount.store(3, std::memory_order_release);
    form.SetClientSize(409, 274 + 2 * 19);
    form.show();
    form.Timer1Timer();
    EXPECT_EQ(form.StringGrid1->RowCount(), 3);
    EXPECT_EQ(form.StringGrid1->TopRow(), 0);
    const QImage image = form.StringGrid1->viewport()->grab().toImage();
    EXPECT_FALSE(Look(image, form.StringGrid1->CellRect(1, 1)).red);
    EXPECT_TRUE(Look(image, form.StringGrid1->CellRect(1, 2)).red);
}

// Rows with known contents and the texts every cell must show: bytes beyond
// the length, red marks on bytes and on the length, a count too wide for its
// column, and an identifier whose letters the font kerns.
struct KnownRow {
    uint32_t id;
    uint32_t count;
    std::vector<uint8_t> data;
    std::vector<int> changedColumns;
    std::array<const char *, 11> texts;
};

const KnownRow kKnownRows[] = {
    {0x7E8, 12, {0x03, 0x41, 0x0C}, {2}, {"000007E8", "03", "41", "0C", "-", "-", "-", "-", "-", "3", "12"}},
    {0x18DAF1FA,
     4294967295u,
     {1, 2, 3, 4, 5, 6, 7, 0xFA},
     {1, 8, 9},
     {"18DAF1FA", "01", "02", "03", "04", "05", "06", "07", "FA", "8", "4294967295"}},
    {0x100, 1, {}, {9}, {"00000100", "-", "-", "-", "-", "-", "-", "-", "-", "0", "1"}},
    {0x1FFFFFFF, 987654, {0xAB, 0xCD}, {}, {"1FFFFFFF", "AB", "CD", "-", "-", "-", "-", "-", "-", "2", "987654"}},
};
constexpr int kSelectedRow = 1;

void FillKnownRows()
{
    uint16_t row = 0;
    for (const KnownRow &known : kKnownRows) {
        FrameEntry &entry = CaptureControl.frames[row++];
        entry.id = known.id;
        entry.count = known.count;
        entry.length = static_cast<uint8_t>(known.data.size());
        for (size_t i = 0; i < 8; ++i)
            entry.data[i] = i < known.data.size() ? known.data[i] : 0;
        for (auto &mark : entry.changed)
            mark = 0;
        for (int col : known.changedColumns)
            entry.changed[col - 1] = 1;
    }
    CaptureControl.frameCount.store(row, std::memory_order_release);
}

// One cell as the plainest QPainter calls draw it: the background, the text
// in Tahoma (or its stand-in), bold, 11 pixels, on one line in the cell
// narrowed by 2 pixels, and a silver outline on the grid lines around it.
void DrawPlainCell(QPainter &canvas, const QRect &cell, const QColor &background, const KnownRow &known, int col)
{
    canvas.fillRect(cell, background);
    QFont font;
    font.setFamilies({"Tahoma", "Liberation Sans"});
    font.setPixelSize(11);
    font.setBold(true);
    canvas.setFont(font);
    const bool red =
        std::find(known.changedColumns.begin(), known.changedColumns.end(), col) != known.changedColumns.end();
    canvas.setPen(red ? QColor(255, 0, 0) : QColor(0, 0, 0));
    canvas.drawText(cell.adjusted(2, 0, -2, 0), (col == 10 ? Qt::AlignRight : Qt::AlignHCenter) | Qt::AlignVCenter,
                    known.texts[size_t(col)]);
    canvas.setPen(QColor(192, 192, 192));
    canvas.setBrush(Qt::NoBrush);
    canvas.drawRect(cell.adjusted(-1, -1, 0, 0));
}

class SamePixelsTest : public GridDrawingTest {
protected:
    TForm1 &CreateGridOfKnownRows()
    {
        TForm1 &form = CreateForm();
        FillKnownRows();
        form.SetClientSize(409, 274 + 3 * 19);  // every known row shows
        form.show();
        form.Timer1Timer();
        form.StringGrid1->SetRow(kSelectedRow);
        return form;
    }

    QImage PlainGrid(const QImage &like) const
    {
        QImage image(like.size(), like.format());
        image.fill(Qt::white);
        QPainter canvas(&image);
        const QColor highlight = form_->StringGrid1->palette().color(QPalette::Highlight);
        for (int row = 0; row < int(std::size(kKnownRows)); ++row)
            for (int col = 0; col < 11; ++col)
                DrawPlainCell(canvas, form_->StringGrid1->CellRect(col, row),
                              row == kSelectedRow ? highlight : Qt::white, kKnownRows[row], col);
        return image;
    }
};

// Where two images differ first, for the failure message.
std::string FirstDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return "sizes differ";
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return "first at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
    return "none";
}

TEST_F(SamePixelsTest, EveryRepaintLooksAsThePlainestPaintingOfEachCell)
{
    TForm1 &form = CreateGridOfKnownRows();
    // A look is painted directly when first seen and copied from its picture
    // from the second time on; each repaint must come out the same.
    for (int repaint = 1; repaint <= 3; ++repaint) {
        const QImage shot = form.StringGrid1->viewport()->grab().toImage();
        const QImage plain = PlainGrid(shot);
        EXPECT_TRUE(shot == plain) << "repaint " << repaint << ": " << FirstDifference(shot, plain);
    }
}

TEST_F(SamePixelsTest, AScaledCanvasGetsThePlainPaintingToo)
{
    TForm1 &form = CreateGridOfKnownRows();
    const QRect last = form.StringGrid1->CellRect(10, 0);
    QImage drawn(2 * (last.right() + 2), 2 * (last.bottom() + 2), QImage::Format_ARGB32_Premultiplied);
    QImage plain = drawn;
    drawn.fill(Qt::white);
    plain.fill(Qt::white);
    for (int pass = 0; pass < 2; ++pass) {  // first and second sight
        QPainter canvas(&drawn);
        canvas.scale(2, 2);
        for (int col = 0; col < 11; ++col) {
            canvas.setBrush(Qt::white);
            form.StringGrid1DrawCell(&canvas, col, 0, form.StringGrid1->CellRect(col, 0));
        }
    }
    QPainter canvas(&plain);
    canvas.scale(2, 2);
    for (int col = 0; col < 11; ++col)
        DrawPlainCell(canvas, form.StringGrid1->CellRect(col, 0), Qt::white, kKnownRows[0], col);
    canvas.end();
    EXPECT_TRUE(drawn == plain) << FirstDifference(drawn, plain);
}

TEST_F(SamePixelsTest, LooksSeenAgainAfterThousandsOfOthersStillLookTheSame)
{
    TForm1 &form = CreateGridOfKnownRows();
    const QImage before = form.StringGrid1->viewport()->grab().toImage();
    form.StringGrid1->viewport()->grab();  // every look of the grid now has its picture
    const uint32_t count = CaptureControl.frames[0].count;
    uint32_t other = 1000000;
    // Counts that come and go, as on a busy bus, crowd the kept looks out:
    // first enough for them to age once, then many more.
    for (int crowd : {1500, 10000}) {
        QImage scratch(100, 30, QImage::Format_ARGB32_Premultiplied);
        QPainter canvas(&scratch);
        for (int i = 0; i < crowd; ++i) {
            CaptureControl.frames[0].count = other++;
            canvas.setBrush(Qt::white);
            form.StringGrid1DrawCell(&canvas, 10, 0, form.StringGrid1->CellRect(10, 0));
        }
        canvas.end();
        CaptureControl.frames[0].count = count;
        for (int repaint = 1; repaint <= 2; ++repaint) {
            const QImage after = form.StringGrid1->viewport()->grab().toImage();
            EXPECT_TRUE(after == before) << crowd << " others, repaint " << repaint << ": "
                                         << FirstDifference(after, before);
        }
    }
}

}  // namespace
