// On Windows a virus scanner or the indexer may hold the old file for a
// moment: the rename is tried again a few times before it counts as failed.
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "FileReplace.h"
#include "common/platform/WideText.h"

namespace {

constexpr int kReplaceAttempts = 10;
constexpr DWORD kReplacePauseMs = 50;

// In the C library's terms, as the file's write reports its own failures.
std::error_code SystemError(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return std::make_error_code(std::errc::permission_denied);
    case ERROR_INVALID_NAME: return std::make_error_code(std::errc::invalid_argument);
    case ERROR_DISK_FULL: return std::make_error_code(std::errc::no_space_on_device);
    default: return {static_cast<int>(code), std::system_category()};
    }
}

}  // namespace

std::error_code SyncWritten(std::FILE *file)
{
    // _commit is FlushFileBuffers on the file's handle.
    if (_commit(_fileno(file)) == 0)
        return {};
    return {errno != 0 ? errno : EIO, std::generic_category()};
}

std::error_code ReplaceWithNew(const std::string &newPath, const std::string &path)
{
    const std::wstring from = Utf8ToWide(newPath);
    const std::wstring to = Utf8ToWide(path);
    if (from.empty() || to.empty())
        return SystemError(ERROR_INVALID_NAME);
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return {};
        const DWORD code = GetLastError();
        const bool held = code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED;
        if (!held || attempt == kReplaceAttempts)
            return SystemError(code);
        Sleep(kReplacePauseMs);
    }
}
