// The cells of the status grid: background, text and the frame on the grid
// lines around them. The grid repaints every visible cell ten times a second
// and most cells look the same from one repaint to the next, so a look that
// comes back is painted once into a picture that is then copied, at a
// fraction of the cost of painting it; the pixels are the same.
#pragma once

#include <QFont>
#include <QImage>
#include <QSize>

#include <unordered_map>

#include "StatusGrid.h"

class QPainter;
class QRect;

// All that the pixels of a cell depend on besides its size.
struct CellLook {
    CellString text;
    Qt::Alignment across;  // Qt::AlignHCenter or Qt::AlignRight
    QRgb textColour;
    QRgb background;

    bool operator==(const CellLook &) const = default;
};

class CellPictures {
public:
    explicit CellPictures(const QFont &font);

    // Fills cell with the background, draws the text on one line in the
    // cell narrowed by the text margins, centred vertically, and outlines
    // the cell widened by one pixel.
    void Draw(QPainter &canvas, const QRect &cell, const CellLook &look);

private:
    struct Key {
        CellLook look;
        QSize size;
        bool operator==(const Key &) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key &key) const;
    };
    // A look seen once has no picture yet: it may never come back.
    using Pictures = std::unordered_map<Key, QImage, KeyHash>;

    void Paint(QPainter &canvas, const QRect &cell, const CellLook &look) const;
    const QImage *Find(const Key &key);
    QImage Picture(const Key &key) const;

    QFont font_;
    Pictures current_;
    Pictures previous_;  // what the current pictures replaced; looks still in use move back
};
