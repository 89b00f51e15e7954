#include "StringGrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {
constexpr int kFrameWidth = 2;
}

TStringGrid::TStringGrid(QWidget *parent) : QAbstractScrollArea(parent), colWidths_(5, kDefaultColWidth)
{
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setLineWidth(kFrameWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

void TStringGrid::SetColCount(int count)
{
    colWidths_.resize(static_cast<size_t>(std::max(count, 1)), kDefaultColWidth);
    viewport()->update();
}

void TStringGrid::SetRowCount(int count)
{
    rowCount_ = std::max(count, 1);
    row_ = std::min(row_, rowCount_ - 1);
    UpdateScrollRange();
}

void TStringGrid::SetColWidth(int col, int width)
{
    colWidths_.at(col) = width;
    viewport()->update();
}

void TStringGrid::SetDefaultRowHeight(int height)
{
    rowHeight_ = height;
    UpdateScrollRange();
}

void TStringGrid::SetRow(int row)
{
    row_ = std::clamp(row, 0, rowCount_ - 1);
    ShowRow(row_);
    viewport()->update();
}

int TStringGrid::TopRow() const
{
    return verticalScrollBar()->value();
}

QRect TStringGrid::CellRect(int col, int row) const
{
    int left = 0;
    for (int c = 0; c < col; ++c)
        left += colWidths_[static_cast<size_t>(c)] + kGridLineWidth;
    return QRect(left, (row - TopRow()) * RowPitch(), colWidths_.at(col), rowHeight_);
}

void TStringGrid::paintEvent(QPaintEvent *)
{
    QPainter canvas(viewport());
    canvas.fillRect(viewport()->rect(), Qt::white);
    const QBrush selected(palette().color(QPalette::Highlight));
    const QBrush plain(Qt::white);
    const int lastRow = std::min(rowCount_ - 1, TopRow() + VisibleRows());
    for (int row = TopRow(); row <= lastRow; ++row) {
        for (int col = 0; col < ColCount(); ++col) {
            canvas.setBrush(row == row_ ? selected : plain);
            emit DrawCell(&canvas, col, row, CellRect(col, row));
        }
    }
}

void TStringGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void TStringGrid::mousePressEvent(QMouseEvent *event)
{
    const int row = RowAt(event->position().toPoint().y());
    if (row < rowCount_)
        SetRow(row);
}

void TStringGrid::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up: SetRow(row_ - 1); break;
    case Qt::Key_Down: SetRow(row_ + 1); break;
    case Qt::Key_PageUp: SetRow(row_ - VisibleRows()); break;
    case Qt::Key_PageDown: SetRow(row_ + VisibleRows()); break;
    case Qt::Key_Home: SetRow(0); break;
    case Qt::Key_End: SetRow(rowCount_ - 1); break;
    default: QAbstractScrollArea::keyPressEvent(event);
    }
}

void TStringGrid::scrollContentsBy(int, int)
{
    viewport()->update();
}

int TStringGrid::VisibleRows() const
{
    return std::max(viewport()->height() / RowPitch(), 1);
}

int TStringGrid::RowAt(int y) const
{
    return TopRow() + y / RowPitch();
}

void TStringGrid::UpdateScrollRange()
{
    QScrollBar *bar = verticalScrollBar();
    bar->setRange(0, std::max(rowCount_ - VisibleRows(), 0));
    bar->setPageStep(VisibleRows());
    bar->setSingleStep(1);
    viewport()->update();
}

void TStringGrid::ShowRow(int row)
{
    QScrollBar *bar = verticalScrollBar();
    if (row < bar->value())
        bar->setValue(row);
    else if (row >= bar->value() + VisibleRows())
        bar->setValue(row - VisibleRows() + 1);
}
