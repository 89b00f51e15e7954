// Appending the log on Windows: the file is opened for writing at its end,
// and a failed write is cut back to the length the file had before. The
// handle stays with the journal until its sync, shared for writing, so this
// program's next cut into the same second's file and a viewer both open it
// meanwhile; a lock taken for the append alone keeps another writer's bytes
// out of what a failed append cuts back.
#include "capture/logstore/LogFile.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "WriteAllWin32.h"
#include "common/platform/LastErrorWin32.h"
#include "common/platform/WideText.h"

namespace {

// The lock's byte lies far past any end a log reaches: locking it keeps
// writers in turn without keeping anyone from the file's bytes.
constexpr DWORD kLockOffsetHigh = 0xFFFFFFFF;
constexpr DWORD kLockOffsetLow = 0xFFFFFFFE;

bool LockForAppend(HANDLE file)
{
    OVERLAPPED at{};
    at.Offset = kLockOffsetLow;
    at.OffsetHigh = kLockOffsetHigh;
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at) != 0;
}

void UnlockAfterAppend(HANDLE file)
{
    OVERLAPPED at{};
    at.Offset = kLockOffsetLow;
    at.OffsetHigh = kLockOffsetHigh;
    // The handle's close releases it too: a failure here costs nothing.
    static_cast<void>(UnlockFileEx(file, 0, 1, 0, &at));
}

uint32_t Restore(HANDLE file, LARGE_INTEGER size)
{
    if (!SetFilePointerEx(file, size, nullptr, FILE_BEGIN) || !SetEndOfFile(file))
        return LastErrorCode();
    return 0;
}

}  // namespace

WrittenLog::WrittenLog(WrittenLog &&other) noexcept : file_(std::exchange(other.file_, nullptr))
{
}

WrittenLog &WrittenLog::operator=(WrittenLog &&other) noexcept
{
    if (this != &other) {
        static_cast<void>(Close());
        file_ = std::exchange(other.file_, nullptr);
    }
    return *this;
}

bool WrittenLog::Held() const
{
    return file_ != nullptr;
}

// Windows makes a file's name durable with the file; its folder needs nothing.
uint32_t WrittenLog::Sync()
{
    return FlushFileBuffers(static_cast<HANDLE>(file_)) ? 0 : LastErrorCode();
}

uint32_t WrittenLog::Close()
{
    if (file_ == nullptr)
        return 0;
    const uint32_t code = CloseHandle(static_cast<HANDLE>(file_)) ? 0 : LastErrorCode();
    file_ = nullptr;
    return code;
}

uint32_t AppendLogText(const std::string &path, const std::vector<LogBuffer::Piece> &pieces, WrittenLog &written,
                       const BeforeAppend &beforeAppend)
{
    static_cast<void>(written.Close());
    const std::wstring widePath = Utf8ToWide(path);
    if (widePath.empty())
        return ERROR_INVALID_NAME;
    const HANDLE file =
        CreateFileW(widePath.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastErrorCode();
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    LARGE_INTEGER before{};
    if (!LockForAppend(file) || !SetFilePointerEx(file, LARGE_INTEGER{}, &before, FILE_END)) {
        const uint32_t code = LastErrorCode();
        CloseHandle(file);  // the lock's or the seek's error is the one to report
        return code;
    }
    uint32_t code = beforeAppend ? beforeAppend(static_cast<uint64_t>(before.QuadPart)) : 0;
    for (const LogBuffer::Piece &piece : pieces) {
        if (code != 0)
            break;
        code = WriteAll(file, piece.bytes, piece.size);
    }
    if (code == 0) {
        UnlockAfterAppend(file);
        written.file_ = file;
        return 0;
    }
    // A half-written stretch would be written again in full by the next try.
    if (const uint32_t restored = Restore(file, before))
        code = restored;
    CloseHandle(file);  // the write's error is the one to report
    // Nor does a failed first write leave an empty file behind; the write's
    // error is the one to report, whatever the clean-up answers.
    if (code != 0 && created)
        static_cast<void>(DeleteFileW(widePath.c_str()));
    return code;
}
