#include "Outbox.h"

#include "FrameMessage.h"

namespace vektasim {

namespace {

// Written bytes are erased from the front only in big steps.
constexpr size_t kCompactBytes = 64 * 1024;

}  // namespace

void Outbox::AddFrame(const CanFrame &frame, Kind kind)
{
    const uint64_t begin = Appended();
    AppendFrameMessage(frame, kind, bytes_);
    pieces_.push_back({begin, Appended(), true, frame});
}

void Outbox::AddOther(const uint8_t *bytes, size_t size)
{
    const uint64_t begin = Appended();
    bytes_.insert(bytes_.end(), bytes, bytes + size);
    pieces_.push_back({begin, Appended(), false, {}});
}

void Outbox::Written(size_t size, std::vector<CanFrame> &sent)
{
    head_ += size;
    written_ += size;
    while (!pieces_.empty() && pieces_.front().end <= written_) {
        if (pieces_.front().isFrame)
            sent.push_back(pieces_.front().frame);
        pieces_.pop_front();
    }
    Compact();
}

void Outbox::DropUnstarted(std::vector<CanFrame> &dropped)
{
    auto first = pieces_.begin();
    while (first != pieces_.end() && first->begin < written_)
        ++first;
    if (first == pieces_.end())
        return;
    bytes_.resize(head_ + static_cast<size_t>(first->begin - written_));
    for (auto it = first; it != pieces_.end(); ++it)
        if (it->isFrame)
            dropped.push_back(it->frame);
    pieces_.erase(first, pieces_.end());
}

void Outbox::DropAll(std::vector<CanFrame> &dropped)
{
    for (const Piece &piece : pieces_)
        if (piece.isFrame)
            dropped.push_back(piece.frame);
    pieces_.clear();
    bytes_.clear();
    head_ = 0;
}

void Outbox::Compact()
{
    if (head_ == bytes_.size()) {
        bytes_.clear();
        head_ = 0;
    } else if (head_ >= kCompactBytes) {
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
    }
}

}  // namespace vektasim
