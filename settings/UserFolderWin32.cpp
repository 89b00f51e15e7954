#include "FilesFolder.h"

#include <algorithm>

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "common/platform/WideText.h"

namespace {

constexpr char kFolderName[] = "vektamon";
// Laid down by the installer beside the program it installs.
constexpr char kInstalledMarker[] = "vektamon.installed";
constexpr wchar_t kProbePrefix[] = L"vek";

// The program's own folder is written with forward slashes; so is this one.
std::string WithForwardSlashes(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace

std::string InstalledFolder(const std::string &programFolder)
{
    const std::string marker = WithForwardSlashes(programFolder) + '/' + kInstalledMarker;
    const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(marker).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES ? programFolder : std::string();
}

std::string UserFilesFolder()
{
    PWSTR localAppData = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &localAppData);
    const std::string base = SUCCEEDED(result) ? WideToUtf8(localAppData) : std::string();
    ::CoTaskMemFree(localAppData);  // owed after a failure too
    return WithForwardSlashes(base) + '/' + kFolderName + '/';
}

bool IsWritableFolder(const std::string &folder)
{
    const std::wstring wideFolder = Utf8ToWide(folder);
    wchar_t probe[MAX_PATH + 1] = {};
    // The call makes an empty file of a name of its own in the folder.
    if (wideFolder.empty() || ::GetTempFileNameW(wideFolder.c_str(), kProbePrefix, 0, probe) == 0)
        return false;
    return ::DeleteFileW(probe) != 0;
}

bool MakeUserFolder(const std::string &folder)
{
    // The shell makes the missing parents too, but takes only backslashes.
    std::wstring path = Utf8ToWide(folder);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    const int result = ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS)
        return false;
    // Wine answers ERROR_ALREADY_EXISTS for a file of that name too.
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
