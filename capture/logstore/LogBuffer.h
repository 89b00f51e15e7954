// The capture log kept in memory: lines stored back to back, each ending in
// CR LF, in large blocks, so that a long capture costs little more memory than
// its text and a save is a handful of writes. Text once added never changes
// in its block, so the journal's writer can share the blocks instead of
// copying them: a block it still holds is never written into again.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class LogBuffer {
public:
    static constexpr size_t kBlockBytes = 1 << 20;

    void Add(std::string_view stamp, std::string_view message);
    // Takes back the line added last; once, and only right after that Add.
    void DropLast();
    void Clear();
    // Lets go of the first bytes of text (whole lines: a count that ends
    // one), once a file holds them.
    void DropFront(size_t bytes);
    bool Empty() const { return lineCount_ == 0; }
    size_t LineCount() const { return lineCount_; }
    size_t TextBytes() const { return textBytes_; }
    // Memory held for the text, including unused block tails.
    size_t ReservedBytes() const;

    // The stored text as written to a file: every line ends in CR LF.
    struct Piece {
        const char *bytes;
        size_t size;
    };
    std::vector<Piece> Pieces() const;
    // A stretch of text together with its block, which it keeps alive.
    struct SharedPiece {
        std::shared_ptr<const char[]> block;
        const char *bytes;
        size_t size;
    };
    // Appends to out the text from offset (a count of bytes, at most
    // TextBytes()) to the end.
    void SharePiecesFrom(size_t offset, std::vector<SharedPiece> &out) const;
    // The lines without their line ends; for tests and tools.
    std::vector<std::string> Lines() const;

private:
    struct Block {
        std::shared_ptr<char[]> bytes;
        size_t capacity = 0;
        size_t start = 0;  // text before it was dropped
        size_t used = 0;   // the end of the text
    };
    char *Reserve(size_t size);

    std::vector<Block> blocks_;
    size_t lineCount_ = 0;
    size_t textBytes_ = 0;
    size_t lastLineBytes_ = 0;
};
