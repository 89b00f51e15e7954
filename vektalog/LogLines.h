// The lines of a capture log file, each ended by CR LF, read in large pieces.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace vektalog {

class LogLines {
public:
    enum class Result { Line, End, Problem, Unreadable };

    static constexpr uint64_t kWholeFile = UINT64_MAX;

    // Reads at most limitBytes of the file. Answers false with problem when
    // the file cannot be opened.
    bool Open(const std::string &path, uint64_t limitBytes, std::string &problem);

    // The next line without its CR LF, the end, what is wrong with the line
    // (no CR before its LF, a last line cut off, far too long), or a read error.
    Result Next(std::string &line, std::string &problem);

    // The 1-based number of the line last read or found wrong.
    size_t Number() const { return number_; }
    uint64_t BytesRead() const { return bytesRead_; }

private:
    struct Closer {
        void operator()(std::FILE *file) const { std::fclose(file); }
    };
    bool Fill(std::string &problem);

    std::unique_ptr<std::FILE, Closer> file_;
    std::vector<char> buffer_;
    size_t pos_ = 0;
    size_t end_ = 0;
    uint64_t limit_ = 0;
    uint64_t bytesRead_ = 0;
    size_t number_ = 0;
};

}  // namespace vektalog
