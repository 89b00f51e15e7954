// A grid of fixed-size cells that the toolkit never draws itself: every cell
// is painted by whoever handles DrawCell. Whole rows are selected, and it
// scrolls vertically by whole rows.
#pragma once

#include <QAbstractScrollArea>

#include <vector>

class QPainter;

class TStringGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kDefaultColWidth = 64;
    static constexpr int kGridLineWidth = 1;  // pixels between cells

    explicit TStringGrid(QWidget *parent = nullptr);

    int ColCount() const { return static_cast<int>(colWidths_.size()); }
    void SetColCount(int count);
    int RowCount() const { return rowCount_; }
    // The grid keeps at least one row.
    void SetRowCount(int count);
    int ColWidth(int col) const { return colWidths_.at(col); }
    void SetColWidth(int col, int width);
    int DefaultRowHeight() const { return rowHeight_; }
    void SetDefaultRowHeight(int height);
    void SetRow(int row);
    int TopRow() const;
    // A cell's rectangle in the coordinates of the viewport.
    QRect CellRect(int col, int row) const;

signals:
    // Painter brush set to the cell's background; the handler draws the rest.
    void DrawCell(QPainter *canvas, int col, int row, const QRect &rect);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int RowPitch() const { return rowHeight_ + kGridLineWidth; }
    int VisibleRows() const;
    int RowAt(int y) const;
    void UpdateScrollRange();
    void ShowRow(int row);

    std::vector<int> colWidths_;
    int rowCount_ = 1;
    int rowHeight_ = 24;
    int row_ = 0;
};
