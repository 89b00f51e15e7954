#include <QImage>
#include <QPainter>

#include "FormFixture.h"
#include "StatusGrid.h"
#include "StringGrid.h"
#include "Unit2.h"

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
    int col;
    bool tableEmpty;
    const char *text;
};

class CellTextTest : public testing::TestWithParam<CellCase> {
protected:
    void SetUp() override { Fill(entry_, 0x7E8, 4294967295u, {0x03, 0x41, 0x0C}); }
    FrameEntry entry_;
};

TEST_P(CellTextTest, ShowsTheEntrysValues)
{
    EXPECT_EQ(CellText(entry_, GetParam().col, GetParam().tableEmpty), GetParam().text) << "column " << GetParam().col;
}

INSTANTIATE_TEST_SUITE_P(Columns, CellTextTest, testing::Values(
    CellCase{0, false, "000007E8"}, CellCase{1, false, "03"}, CellCase{2, false, "41"}, CellCase{3, false, "0C"},
    CellCase{4, false, "-"}, CellCase{8, false, "-"}, CellCase{9, false, "3"}, CellCase{10, false, "4294967295"},
    CellCase{0, true, "-"}, CellCase{1, true, "-"}, CellCase{9, true, "-"}, CellCase{10, true, "-"}));

TEST(CellText, ShowsEightBytesAndA29BitIdentifier)
{
    FrameEntry entry;
    Fill(entry, 0x18DAF110, 1, {1, 2, 3, 4, 5, 6, 7, 0xFF});
    EXPECT_EQ(CellText(entry, 0, false), "18DAF110");
    EXPECT_EQ(CellText(entry, 8, false), "FF");
    EXPECT_EQ(CellText(entry, 9, false), "8");
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

}  // namespace
