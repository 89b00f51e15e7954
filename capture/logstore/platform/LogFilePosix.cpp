#include "capture/logstore/LogFile.h"

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

// Opens the file for appending; created tells whether this call made it.
// Never through a link, never waiting on a FIFO.
int OpenForAppend(const std::string &path, bool &created)
{
    constexpr int kFlags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    for (;;) {
        created = false;
        int fd = ::open(path.c_str(), kFlags);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, kLogFileMode);
        if (fd >= 0 || errno != EEXIST) {
            created = fd >= 0;
            return fd;
        }
    }
}

}  // namespace

uint32_t AppendLogText(const std::string &path, const std::vector<LogBuffer::Piece> &pieces)
{
    bool created = false;
    const int fd = OpenForAppend(path, created);
    if (fd < 0)
        return static_cast<uint32_t>(errno);
    struct stat before {};
    const bool statted = ::fstat(fd, &before) == 0;
    if (!statted || !S_ISREG(before.st_mode)) {
        const auto code = statted ? uint32_t{EINVAL} : static_cast<uint32_t>(errno);
        ::close(fd);
        return code;
    }
    uint32_t code = 0;
    for (const LogBuffer::Piece &piece : pieces) {
        code = WriteAll(fd, piece.bytes, piece.size);
        if (code != 0)
            break;
    }
    // A half-written stretch would be written again in full by the next try.
    if (code != 0 && ::ftruncate(fd, before.st_size) != 0)
        code = static_cast<uint32_t>(errno);
    if (::close(fd) != 0 && code == 0)
        code = static_cast<uint32_t>(errno);
    // Nor does a failed first write leave an empty file behind; the write's
    // error is the one to report, whatever the clean-up answers.
    if (code != 0 && created)
        static_cast<void>(::unlink(path.c_str()));
    return code;
}
