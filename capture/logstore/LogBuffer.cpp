#include "LogBuffer.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {
constexpr std::string_view kStampSeparator = ": ";
constexpr std::string_view kLineEnd = "\r\n";
}  // namespace

char *LogBuffer::Reserve(size_t size)
{
    if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < size) {
        Block block;
        block.capacity = std::max(kBlockBytes, size);
        block.bytes = std::make_unique_for_overwrite<char[]>(block.capacity);  // becomes shared
        blocks_.push_back(std::move(block));
    }
    Block &last = blocks_.back();
    char *at = last.bytes.get() + last.used;
    last.used += size;
    return at;
}

void LogBuffer::Add(std::string_view stamp, std::string_view message)
{
    const size_t size = stamp.size() + kStampSeparator.size() + message.size() + kLineEnd.size();
    char *at = Reserve(size);
    for (std::string_view part : {stamp, kStampSeparator, message, kLineEnd}) {
        std::memcpy(at, part.data(), part.size());
        at += part.size();
    }
    ++lineCount_;
    textBytes_ += size;
    lastLineBytes_ = size;
}

void LogBuffer::DropLast()
{
    if (lastLineBytes_ == 0)
        return;
    // A line never spans two blocks, so it ends the last one.
    blocks_.back().used -= lastLineBytes_;
    textBytes_ -= lastLineBytes_;
    --lineCount_;
    lastLineBytes_ = 0;
}

void LogBuffer::Clear()
{
    // Keep one block so that a run's lines after a cut do not reallocate,
    // unless the journal's writer still reads it. Only this thread hands out
    // blocks, so a count of one stays one.
    if (!blocks_.empty()) {
        blocks_.resize(1);
        if (blocks_.front().bytes.use_count() == 1)
            blocks_.front().start = blocks_.front().used = 0;
        else
            blocks_.clear();
    }
    lineCount_ = 0;
    textBytes_ = 0;
    lastLineBytes_ = 0;
}

void LogBuffer::DropFront(size_t bytes)
{
    bytes = std::min(bytes, textBytes_);
    textBytes_ -= bytes;
    size_t dropped = 0;
    while (bytes > 0) {
        Block &first = blocks_.front();
        const size_t part = std::min(bytes, first.used - first.start);
        const std::string_view text(first.bytes.get() + first.start, part);
        for (size_t at = 0; (at = text.find(kLineEnd, at)) != std::string_view::npos; at += kLineEnd.size())
            ++dropped;
        first.start += part;
        bytes -= part;
        if (first.start == first.used && blocks_.size() > 1)
            blocks_.erase(blocks_.begin());
    }
    lineCount_ -= std::min(dropped, lineCount_);
    if (lineCount_ == 0)
        lastLineBytes_ = 0;
}

size_t LogBuffer::ReservedBytes() const
{
    size_t total = blocks_.capacity() * sizeof(Block);
    for (const Block &block : blocks_)
        total += block.capacity;
    return total;
}

std::vector<LogBuffer::Piece> LogBuffer::Pieces() const
{
    std::vector<Piece> pieces;
    for (const Block &block : blocks_)
        if (block.used > block.start)
            pieces.push_back({block.bytes.get() + block.start, block.used - block.start});
    return pieces;
}

void LogBuffer::SharePiecesFrom(size_t offset, std::vector<SharedPiece> &out) const
{
    // The newest text sits in the last blocks: find the first one from the end.
    size_t first = blocks_.size();
    size_t start = textBytes_;
    while (first > 0 && start > offset) {
        --first;
        start -= blocks_[first].used - blocks_[first].start;
    }
    for (size_t i = first; i < blocks_.size(); ++i) {
        const Block &block = blocks_[i];
        const size_t skip = block.start + (i == first ? offset - start : 0);
        if (block.used > skip)
            out.push_back({block.bytes, block.bytes.get() + skip, block.used - skip});
    }
}

std::vector<std::string> LogBuffer::Lines() const
{
    std::vector<std::string> lines;
    for (const Piece &piece : Pieces()) {
        std::string_view text(piece.bytes, piece.size);
        while (!text.empty()) {
            const size_t end = text.find(kLineEnd);
            lines.emplace_back(text.substr(0, end));
            text.remove_prefix(end + kLineEnd.size());
        }
    }
    return lines;
}
