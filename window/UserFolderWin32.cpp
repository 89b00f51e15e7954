#include "FilesFolder.h"

#include <windows.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "capture/platform/WideText.h"

namespace {

// Laid down by the installer beside the program it installs.
constexpr char kInstalledMarker[] = "vektamon.installed";
constexpr wchar_t kProbePrefix[] = L"vek";

}  // namespace

std::string InstalledFolder(const std::string &programFolder)
{
    const QDir folder(QString::fromStdString(programFolder));
    return QFileInfo::exists(folder.filePath(QString::fromLatin1(kInstalledMarker))) ? programFolder : std::string();
}

std::string UserFilesFolder()
{
    // GenericDataLocation is %LOCALAPPDATA% on Windows.
    return (QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/vektamon/").toStdString();
}

bool IsWritableFolder(const std::string &folder)
{
    const std::wstring wideFolder = Utf8ToWide(folder);
    wchar_t probe[MAX_PATH + 1] = {};
    // The call makes an empty file of a name of its own in the folder.
    if (wideFolder.empty() || GetTempFileNameW(wideFolder.c_str(), kProbePrefix, 0, probe) == 0)
        return false;
    return DeleteFileW(probe) != 0;
}

bool MakeUserFolder(const std::string &folder)
{
    return QDir().mkpath(QString::fromStdString(folder));
}
