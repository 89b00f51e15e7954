// The capture log kept in memory: lines stored back to back, each ending in
// CR LF, in large blocks, so that a long capture costs little more memory than
// its text and a save is a handful of writes.
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
    // Appends to out the text from offset (a count of bytes, at most
    // TextBytes()) to the end.
    void AppendTextFrom(size_t offset, std::string &out) const;
    // The lines without their line ends; for tests and tools.
    std::vector<std::string> Lines() const;

private:
    struct Block {
        std::unique_ptr<char[]> bytes;
        size_t capacity = 0;
        size_t used = 0;
    };
    char *Reserve(size_t size);

    std::vector<Block> blocks_;
    size_t lineCount_ = 0;
    size_t textBytes_ = 0;
    size_t lastLineBytes_ = 0;
};
