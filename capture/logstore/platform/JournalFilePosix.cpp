// The journal's files on POSIX: flock for the lock (it holds between two
// descriptors of one process too), fdatasync for durability.
#include "capture/logstore/JournalFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "StillNamedPosix.h"

namespace {

constexpr mode_t kJournalMode = 0644;

uint32_t LastError()
{
    return errno != 0 ? static_cast<uint32_t>(errno) : EIO;
}

}  // namespace

uint32_t JournalFile::Open(const std::string &path, bool create, bool &held)
{
    Close();
    held = false;
    // Never through a link, never waiting on a FIFO, never a terminal taken as ours.
    const int flags = O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    const int fd = ::open(path.c_str(), flags | (create ? O_CREAT | O_EXCL : 0), kJournalMode);
    if (fd < 0)
        return LastError();
    struct stat info {};
    const bool statted = ::fstat(fd, &info) == 0;
    if (!statted || !S_ISREG(info.st_mode)) {
        const uint32_t code = statted ? EINVAL : LastError();
        ::close(fd);
        return code;
    }
    int locked = 0;
    while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        const uint32_t code = LastError();
        ::close(fd);
        held = code == EWOULDBLOCK;
        return code;
    }
    if (!create && !StillNamed(fd, path)) {
        // Recovered, or set aside, by another program between our open and lock.
        ::close(fd);
        held = true;
        return ENOENT;
    }
    fd_ = fd;
    return 0;
}

bool JournalFile::IsOpen() const
{
    return fd_ >= 0;
}

bool JournalFile::Removed()
{
    struct stat info {};
    return ::fstat(fd_, &info) != 0 || info.st_nlink == 0;
}

uint32_t JournalFile::Resize(uint64_t size)
{
    return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 ? 0 : LastError();
}

uint32_t JournalFile::Append(const char *bytes, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return LastError();
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

uint32_t JournalFile::Sync()
{
    return ::fdatasync(fd_) == 0 ? 0 : LastError();
}

uint32_t JournalFile::Size(uint64_t &size)
{
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        return LastError();
    size = static_cast<uint64_t>(info.st_size);
    return 0;
}

uint32_t JournalFile::Read(uint64_t offset, char *bytes, size_t size, size_t &got)
{
    got = 0;
    for (;;) {
        const ssize_t n = ::pread(fd_, bytes, size, static_cast<off_t>(offset));
        if (n >= 0) {
            got = static_cast<size_t>(n);
            return 0;
        }
        if (errno != EINTR)
            return LastError();
    }
}

uint32_t JournalFile::Modified(LocalDateTime &when)
{
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        return LastError();
    tm local{};
    if (localtime_r(&info.st_mtim.tv_sec, &local) == nullptr)
        return LastError();
    when = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
    return 0;
}

uint32_t JournalFile::RemoveAndClose(const std::string &path)
{
    const uint32_t code = ::unlink(path.c_str()) == 0 ? 0 : LastError();
    Close();
    return code;
}

uint32_t JournalFile::Rename(const std::string &path, const std::string &newPath)
{
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, newPath.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return LastError();
    // A file system without the no-replace rename: a link fails just as safely on an existing name.
    if (::link(path.c_str(), newPath.c_str()) != 0)
        return LastError();
    return ::unlink(path.c_str()) == 0 ? 0 : LastError();
}

void JournalFile::Close()
{
    if (fd_ >= 0)
        static_cast<void>(::close(fd_));  // closing releases the lock; nothing is left to report
    fd_ = -1;
}

uint32_t FilesEndingIn(const std::string &folder, std::string_view suffix, std::vector<std::string> &names)
{
    names.clear();
    DIR *dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return LastError();
    errno = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix)
            names.emplace_back(name);
        errno = 0;
    }
    const uint32_t code = errno != 0 ? static_cast<uint32_t>(errno) : 0;
    ::closedir(dir);
    return code;
}

uint32_t CurrentProcessId()
{
    return static_cast<uint32_t>(::getpid());
}

uint32_t SyncFolder(const std::string &folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return LastError();
    const uint32_t code = ::fsync(fd) == 0 ? 0 : LastError();
    ::close(fd);  // a read-only folder's close has nothing to report
    return code;
}

bool IsPlainFile(const std::string &path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

uint32_t RandomBytes(void *bytes, size_t size)
{
    auto *at = static_cast<char *>(bytes);
    while (size > 0) {
        const ssize_t n = ::getrandom(at, size, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return LastError();
        }
        at += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}
