#include "CellPictures.h"

#include <QPainter>

#include <cmath>
#include <functional>
#include <string_view>

namespace {

constexpr int kTextMargin = 2;  // pixels left and right of a cell's text
constexpr int kFrameWidth = 1;  // the frame lies on the grid lines around a cell
const QColor kFrameColour(192, 192, 192);
// Looks a generation holds before the older one is dropped: what a window of
// a hundred rows shows, at most some five megabytes of pictures.
constexpr size_t kGenerationSize = 1024;

// A picture is copied pixel for pixel only when the canvas maps it so.
bool MapsPixelForPixel(const QPainter &canvas)
{
    const QTransform &map = canvas.deviceTransform();
    return map.type() <= QTransform::TxTranslate && map.dx() == std::floor(map.dx()) &&
           map.dy() == std::floor(map.dy());
}

}  // namespace

size_t CellPictures::KeyHash::operator()(const Key &key) const
{
    size_t hash = std::hash<std::string_view>()(key.look.text.View());
    for (size_t part : {size_t(key.look.across), size_t(key.look.textColour), size_t(key.look.background),
                        size_t(key.size.width()), size_t(key.size.height())})
        hash = hash * 31 + part;
    return hash;
}

CellPictures::CellPictures(const QFont &font) : font_(font)
{
}

void CellPictures::Draw(QPainter &canvas, const QRect &cell, const CellLook &look)
{
    const QImage *picture = MapsPixelForPixel(canvas) ? Find(Key{look, cell.size()}) : nullptr;
    if (picture)
        canvas.drawImage(cell.topLeft() - QPoint(kFrameWidth, kFrameWidth), *picture);
    else
        Paint(canvas, cell, look);
}

void CellPictures::Paint(QPainter &canvas, const QRect &cell, const CellLook &look) const
{
    canvas.fillRect(cell, QColor::fromRgba(look.background));
    canvas.setFont(font_);
    canvas.setPen(QColor::fromRgba(look.textColour));
    const std::string_view text = look.text.View();
    canvas.drawText(cell.adjusted(kTextMargin, 0, -kTextMargin, 0), look.across | Qt::AlignVCenter | Qt::TextSingleLine,
                    QString::fromLatin1(text.data(), qsizetype(text.size())));
    canvas.setPen(kFrameColour);
    canvas.setBrush(Qt::NoBrush);
    canvas.drawRect(cell.adjusted(-kFrameWidth, -kFrameWidth, 0, 0));
}

// Nothing on a look's first sight; its picture from the second on.
const QImage *CellPictures::Find(const Key &key)
{
    auto found = current_.find(key);
    if (found == current_.end()) {
        if (current_.size() >= kGenerationSize) {
            previous_ = std::move(current_);
            current_.clear();
        }
        const auto old = previous_.find(key);
        if (old == previous_.end()) {
            current_.emplace(key, QImage());
            return nullptr;
        }
        found = current_.emplace(key, std::move(old->second)).first;
        previous_.erase(old);
    }
    if (found->second.isNull())
        found->second = Picture(key);
    return &found->second;
}

QImage CellPictures::Picture(const Key &key) const
{
    // Pixels the painting leaves alone stay transparent, so that copying the
    // picture leaves them alone too.
    QImage picture(key.size + QSize(2 * kFrameWidth, 2 * kFrameWidth), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter canvas(&picture);
    Paint(canvas, QRect(QPoint(kFrameWidth, kFrameWidth), key.size), key.look);
    return picture;
}
