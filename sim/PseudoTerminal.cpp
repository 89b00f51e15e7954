#include "PseudoTerminal.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vektasim {

namespace {

std::string Failure(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

// Raw from the start, so that nothing is echoed before the client sets its
// own mode; on a master these settings land on the slave.
bool MakeRaw(int fd)
{
    struct termios settings {};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

// Clean-up failures have no caller to go to, but should not pass unseen.
void Warn(const std::string &what)
{
    std::fprintf(stderr, "vektasim: %s: %s\n", what.c_str(), std::strerror(errno));
}

std::string LinkTarget(const std::string &link)
{
    char target[PATH_MAX];
    const ssize_t size = ::readlink(link.c_str(), target, sizeof target - 1);
    return size < 0 ? std::string() : std::string(target, static_cast<size_t>(size));
}

}  // namespace

PseudoTerminal::~PseudoTerminal()
{
    Close();
}

bool PseudoTerminal::Open(const std::string &linkPath, std::string &error)
{
    Close();
    slavePath_.clear();
    linkPath_ = linkPath;
    if (OpenMaster(error) && MakeLink(error))
        return true;
    Close();
    return false;
}

bool PseudoTerminal::OpenMaster(std::string &error)
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        error = Failure("posix_openpt");
        return false;
    }
    char name[PATH_MAX];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0) {
        error = Failure("pseudo-terminal set-up");
        return false;
    }
    slavePath_ = name;
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0 || !MakeRaw(master_)) {
        error = Failure("pseudo-terminal mode");
        return false;
    }
    return true;
}

bool PseudoTerminal::MakeLink(std::string &error)
{
    if (linkPath_.empty())
        return true;
    struct stat info {};
    if (::lstat(linkPath_.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        error = linkPath_ + ": exists and is not a symbolic link";
        return false;
    }
    // Made aside and renamed over, so the link never points nowhere.
    const std::string aside = linkPath_ + ".new" + std::to_string(::getpid());
    if (::unlink(aside.c_str()) != 0 && errno != ENOENT) {
        error = Failure(aside);
        return false;
    }
    if (::symlink(slavePath_.c_str(), aside.c_str()) != 0 || ::rename(aside.c_str(), linkPath_.c_str()) != 0) {
        error = Failure(linkPath_);
        return false;
    }
    return true;
}

void PseudoTerminal::RemoveLink()
{
    // Another simulator may have taken the link over meanwhile.
    if (!linkPath_.empty() && LinkTarget(linkPath_) == slavePath_ && ::unlink(linkPath_.c_str()) != 0)
        Warn(linkPath_);
}

void PseudoTerminal::Close()
{
    if (master_ < 0)
        return;
    RemoveLink();
    if (::close(master_) != 0)
        Warn(slavePath_);
    master_ = -1;
}

}  // namespace vektasim
