#include "LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr mode_t kLogFileMode = 0644;

uint32_t WriteAll(int fd, const char *bytes, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return static_cast<uint32_t>(errno);
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

uint32_t AppendLogFile(const std::string &path, const LogBuffer &buffer)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, kLogFileMode);
    if (fd < 0)
        return static_cast<uint32_t>(errno);
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        const auto code = static_cast<uint32_t>(errno);
        ::close(fd);
        return code;
    }
    uint32_t code = 0;
    for (const LogBuffer::Piece &piece : buffer.Pieces()) {
        code = WriteAll(fd, piece.bytes, piece.size);
        if (code != 0)
            break;
    }
    // A half-written stretch would be written again in full by the next try.
    if (code != 0 && ::ftruncate(fd, before.st_size) != 0)
        code = static_cast<uint32_t>(errno);
    if (::close(fd) != 0 && code == 0)
        code = static_cast<uint32_t>(errno);
    return code;
}
