#include "FilesFolder.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef VEKTA_INSTALL_BINDIR
#define VEKTA_INSTALL_BINDIR ""
#endif

namespace {

constexpr char kFolderName[] = "vektamon";
constexpr mode_t kPrivateFolder = 0700;

bool IsAbsolute(const char *path)
{
    return path != nullptr && path[0] == '/';
}

// $HOME, or the home of the user's account when that is not set.
std::string HomeFolder()
{
    if (const char *home = std::getenv("HOME"); IsAbsolute(home))
        return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        IsAbsolute(found->pw_dir))
        return found->pw_dir;
    return "/";
}

}  // namespace

std::string InstalledFolder(const std::string &)
{
    return VEKTA_INSTALL_BINDIR;
}

std::string UserFilesFolder()
{
    const char *dataHome = std::getenv("XDG_DATA_HOME");
    // A relative value is to be ignored, so the working folder plays no part.
    const std::filesystem::path base =
        IsAbsolute(dataHome) ? std::filesystem::path(dataHome) : std::filesystem::path(HomeFolder()) / ".local/share";
    return (base / kFolderName).string() + '/';
}

bool IsWritableFolder(const std::string &folder)
{
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && ::access(folder.c_str(), W_OK) == 0;
}

bool MakeUserFolder(const std::string &folder)
{
    std::filesystem::path made;
    for (const auto &part : std::filesystem::path(folder)) {
        made /= part;
        if (::mkdir(made.c_str(), kPrivateFolder) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
