#include "FilesFolder.h"

#include <filesystem>

#include "common/Utf8File.h"

namespace {

bool IsSameFolder(const std::string &a, const std::string &b)
{
    std::error_code error;
    return !b.empty() && std::filesystem::equivalent(Utf8Path(a), Utf8Path(b), error);
}

std::string WithSeparator(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

}  // namespace

std::string ChooseFilesFolder(const std::string &programFolder, const std::string &installedFolder,
                              const std::string &userFolder)
{
    if (IsWritableFolder(programFolder) && !IsSameFolder(programFolder, installedFolder))
        return WithSeparator(programFolder);
    // A folder that cannot be made shows later, as the failed save at close.
    MakeUserFolder(userFolder);
    return WithSeparator(userFolder);
}

std::string FilesFolder(const std::string &programFolder)
{
    return ChooseFilesFolder(programFolder, InstalledFolder(programFolder), UserFilesFolder());
}

std::string_view FitUtf8(std::string_view text, size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    size_t size = maxBytes;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80)
        --size;  // text[size] continues the character that would be cut
    return text.substr(0, size);
}
