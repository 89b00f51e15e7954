#include "capture/logstore/LogFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "StillNamedPosix.h"

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

// The folder part of a path, "." for a bare name.
std::string FolderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

uint32_t CloseOne(int &fd)
{
    if (fd < 0)
        return 0;
    const uint32_t code = ::close(fd) == 0 ? 0 : static_cast<uint32_t>(errno);
    fd = -1;
    return code;
}

// Opens the file for appending under an exclusive lock, so that another of
// our programs appending to the same file (two in one folder, one second)
// waits, and a failed append's cut back to the old length takes only its
// own bytes. A file system without locks answers locked false.
int OpenLocked(const std::string &path, bool &created, bool &locked)
{
    for (;;) {
        const int fd = OpenForAppend(path, created);
        if (fd < 0)
            return fd;
        int result = 0;
        while ((result = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        locked = result == 0;
        if (!locked && errno != ENOLCK && errno != EOPNOTSUPP) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            return -1;
        }
        // A failed first append's file is removed under its lock: take the new one.
        if (!locked || StillNamed(fd, path))
            return fd;
        ::close(fd);
    }
}

}  // namespace

WrittenLog::WrittenLog(WrittenLog &&other) noexcept
    : fd_(std::exchange(other.fd_, -1)), folderFd_(std::exchange(other.folderFd_, -1))
{
}

WrittenLog &WrittenLog::operator=(WrittenLog &&other) noexcept
{
    if (this != &other) {
        static_cast<void>(Close());
        fd_ = std::exchange(other.fd_, -1);
        folderFd_ = std::exchange(other.folderFd_, -1);
    }
    return *this;
}

bool WrittenLog::Held() const
{
    return fd_ >= 0;
}

uint32_t WrittenLog::Sync()
{
    if (::fsync(fd_) != 0)
        return static_cast<uint32_t>(errno);
    if (folderFd_ >= 0 && ::fsync(folderFd_) != 0)
        return static_cast<uint32_t>(errno);
    return 0;
}

uint32_t WrittenLog::Close()
{
    const uint32_t code = CloseOne(fd_);
    const uint32_t folderCode = CloseOne(folderFd_);
    return code != 0 ? code : folderCode;
}

uint32_t AppendLogText(const std::string &path, const std::vector<LogBuffer::Piece> &pieces, WrittenLog &written,
                       const BeforeAppend &beforeAppend)
{
    static_cast<void>(written.Close());
    bool created = false;
    bool locked = false;
    const int fd = OpenLocked(path, created, locked);
    if (fd < 0)
        return static_cast<uint32_t>(errno);
    struct stat before {};
    const bool statted = ::fstat(fd, &before) == 0;
    if (!statted || !S_ISREG(before.st_mode)) {
        const auto code = statted ? uint32_t{EINVAL} : static_cast<uint32_t>(errno);
        ::close(fd);
        return code;
    }
    uint32_t code = beforeAppend ? beforeAppend(static_cast<uint64_t>(before.st_size)) : 0;
    for (const LogBuffer::Piece &piece : pieces) {
        if (code != 0)
            break;
        code = WriteAll(fd, piece.bytes, piece.size);
    }
    int folderFd = -1;
    if (code == 0 && created) {
        folderFd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderFd < 0)
            code = static_cast<uint32_t>(errno);
    }
    if (code == 0) {
        // The next writer need not wait for our sync. The lines are in the
        // file whatever this answers; at worst the lock goes with the close.
        if (locked)
            static_cast<void>(::flock(fd, LOCK_UN));
        written.fd_ = fd;
        written.folderFd_ = folderFd;
        return 0;
    }
    // A half-written stretch would be written again in full by the next try;
    // without the lock another writer's lines may follow it, and it stays.
    if (locked && ::ftruncate(fd, before.st_size) != 0)
        code = static_cast<uint32_t>(errno);
    // Nor does a failed first write leave an empty file behind; the write's
    // error is the one to report, whatever the clean-up answers.
    if (locked && created)
        static_cast<void>(::unlink(path.c_str()));
    static_cast<void>(::close(fd));  // closing releases the lock, after the clean-up
    return code;
}
