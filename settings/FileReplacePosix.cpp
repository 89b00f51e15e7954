#include <filesystem>

#include "FileReplace.h"
#include "common/Utf8File.h"

// The file systems in use here keep a file renamed over another whole
// without a sync of its own.
std::error_code SyncWritten(std::FILE *)
{
    return {};
}

std::error_code ReplaceWithNew(const std::string &newPath, const std::string &path)
{
    std::error_code error;
    std::filesystem::rename(Utf8Path(newPath), Utf8Path(path), error);
    return error;
}
