#include "LogLines.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/Utf8File.h"

namespace vektalog {

namespace {

constexpr size_t kReadBytes = 1 << 16;
// The longest log line is a dump of a 257-byte message; anything far longer
// is no log line, and must not fill the memory.
constexpr size_t kMaxLineBytes = 1 << 16;

}  // namespace

bool LogLines::Open(const std::string &path, uint64_t limitBytes, std::string &problem)
{
    file_.reset(OpenUtf8File(path, "rb"));
    if (!file_) {
        problem = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    buffer_.resize(kReadBytes);
    limit_ = limitBytes;
    return true;
}

bool LogLines::Fill(std::string &problem)
{
    const auto want = static_cast<size_t>(std::min<uint64_t>(buffer_.size(), limit_ - bytesRead_));
    pos_ = 0;
    end_ = want == 0 ? 0 : std::fread(buffer_.data(), 1, want, file_.get());
    bytesRead_ += end_;
    if (end_ == 0 && std::ferror(file_.get())) {
        problem = std::string("cannot read: ") + std::strerror(errno);
        return false;
    }
    return true;
}

LogLines::Result LogLines::Next(std::string &line, std::string &problem)
{
    line.clear();
    bool begun = false;
    for (;;) {
        if (pos_ == end_) {
            if (!Fill(problem))
                return Result::Unreadable;
            if (end_ == 0) {
                if (!begun)
                    return Result::End;
                problem = "the last line is cut off (it does not end in CR LF)";
                return Result::Problem;
            }
        }
        if (!begun) {
            begun = true;
            ++number_;
        }
        const char *from = buffer_.data() + pos_;
        const char *stop = buffer_.data() + end_;
        const char *newline = std::find(from, stop, '\n');
        line.append(from, newline);
        pos_ = static_cast<size_t>(newline - buffer_.data());
        if (line.size() > kMaxLineBytes) {
            problem = "the line is longer than any log line";
            return Result::Problem;
        }
        if (newline == stop)
            continue;
        ++pos_;
        if (line.empty() || line.back() != '\r') {
            problem = "the line ends in LF without CR";
            return Result::Problem;
        }
        line.pop_back();
        return Result::Line;
    }
}

}  // namespace vektalog
