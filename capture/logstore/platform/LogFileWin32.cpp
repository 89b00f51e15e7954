// Appending the log on Windows: the file is opened for writing at its end,
// and a failed write is cut back to the length the file had before.
#include "capture/logstore/LogFile.h"

#include <windows.h>

#include <algorithm>

#include "WriteAllWin32.h"
#include "common/platform/LastErrorWin32.h"
#include "common/platform/WideText.h"

namespace {

uint32_t Restore(HANDLE file, LARGE_INTEGER size)
{
    if (!SetFilePointerEx(file, size, nullptr, FILE_BEGIN) || !SetEndOfFile(file))
        return LastErrorCode();
    return 0;
}

}  // namespace

uint32_t AppendLogText(const std::string &path, const std::vector<LogBuffer::Piece> &pieces)
{
    const std::wstring widePath = Utf8ToWide(path);
    if (widePath.empty())
        return ERROR_INVALID_NAME;
    // Shared for writing too: the journal's writer may be syncing the same
    // file through a handle of its own, and a viewer may hold it open.
    const HANDLE file =
        CreateFileW(widePath.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastErrorCode();
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    LARGE_INTEGER before{};
    if (!SetFilePointerEx(file, LARGE_INTEGER{}, &before, FILE_END)) {
        const uint32_t code = LastErrorCode();
        CloseHandle(file);  // the seek's error is the one to report
        return code;
    }
    uint32_t code = 0;
    for (const LogBuffer::Piece &piece : pieces) {
        code = WriteAll(file, piece.bytes, piece.size);
        if (code != 0)
            break;
    }
    // A half-written stretch would be written again in full by the next try.
    if (code != 0) {
        if (const uint32_t restored = Restore(file, before))
            code = restored;
    }
    if (!CloseHandle(file) && code == 0)
        code = LastErrorCode();
    // Nor does a failed first write leave an empty file behind; the write's
    // error is the one to report, whatever the clean-up answers.
    if (code != 0 && created)
        static_cast<void>(DeleteFileW(widePath.c_str()));
    return code;
}
