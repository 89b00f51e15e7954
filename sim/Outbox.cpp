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
    pieces_.push_back({begin, Appended(), What::Frame, frame});
}

void Outbox::AddAnswer(const uint8_t *bytes, size_t size)
{
    Add(bytes, size, What::Answer);
}

void Outbox::AddNoise(const uint8_t *bytes, size_t size)
{
    Add(bytes, size, What::Noise);
}

void Outbox::Add(const uint8_t *bytes, size_t size, What what)
{
    const uint64_t begin = Appended();
    bytes_.insert(bytes_.end(), bytes, bytes + size);
    pieces_.push_back({begin, Appended(), what, {}});
}

void Outbox::Written(size_t size, std::vector<CanFrame> &sent)
{
    head_ += size;
    written_ += size;
    while (!pieces_.empty() && pieces_.front().end <= written_) {
        if (pieces_.front().what == What::Frame)
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
    // The answers move up over what is dropped.
    std::vector<uint8_t> answers;
    std::deque<Piece> answerPieces;
    uint64_t at = first->begin;
    for (auto it = first; it != pieces_.end(); ++it) {
        if (it->what == What::Frame)
            dropped.push_back(it->frame);
        if (it->what != What::Answer)
            continue;
        const auto from = bytes_.begin() + static_cast<std::ptrdiff_t>(head_ + (it->begin - written_));
        answers.insert(answers.end(), from, from + static_cast<std::ptrdiff_t>(it->end - it->begin));
        answerPieces.push_back({at, at + (it->end - it->begin), What::Answer, {}});
        at = answerPieces.back().end;
    }
    bytes_.resize(head_ + static_cast<size_t>(first->begin - written_));
    pieces_.erase(first, pieces_.end());
    bytes_.insert(bytes_.end(), answers.begin(), answers.end());
    pieces_.insert(pieces_.end(), answerPieces.begin(), answerPieces.end());
}

void Outbox::DropAll(std::vector<CanFrame> &dropped)
{
    for (const Piece &piece : pieces_)
        if (piece.what == What::Frame)
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
