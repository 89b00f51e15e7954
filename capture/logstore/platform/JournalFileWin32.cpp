// The journal's files on Windows: LockFileEx for the lock, FlushFileBuffers
// for durability. The journal is opened with delete sharing, so that its
// holder can remove it while the lock still keeps others out.
#include "capture/logstore/JournalFile.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>

#include "WriteAllWin32.h"
#include "common/platform/HandleWin32.h"
#include "common/platform/LastErrorWin32.h"
#include "common/platform/WideText.h"

namespace {

uint32_t SeekTo(HANDLE file, LONGLONG offset, DWORD from)
{
    LARGE_INTEGER at{};
    at.QuadPart = offset;
    return SetFilePointerEx(file, at, nullptr, from) ? 0 : LastErrorCode();
}

// A plain file on a disk: no reparse point (a link), no folder, no device or pipe.
bool IsPlainHandle(HANDLE file)
{
    FILE_BASIC_INFO info{};
    return GetFileType(file) == FILE_TYPE_DISK &&
           GetFileInformationByHandleEx(file, FileBasicInfo, &info, sizeof info) &&
           (info.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

}  // namespace

uint32_t JournalFile::Open(const std::string &path, bool create, bool &held)
{
    Close();
    held = false;
    const std::wstring widePath = Utf8ToWide(path);
    if (widePath.empty())
        return ERROR_INVALID_NAME;
    // The link itself, never its target: a link is then no plain file.
    const HANDLE file =
        CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                    create ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastErrorCode();
    if (!IsPlainHandle(file)) {
        CloseHandle(file);
        return ERROR_INVALID_PARAMETER;
    }
    OVERLAPPED whole{};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
        const uint32_t code = LastErrorCode();
        CloseHandle(file);
        held = code == ERROR_LOCK_VIOLATION;
        return code;
    }
    handle_ = file;
    return 0;
}

bool JournalFile::IsOpen() const
{
    return handle_ != nullptr;
}

bool JournalFile::Removed()
{
    FILE_STANDARD_INFO info{};
    return !GetFileInformationByHandleEx(AsHandle(handle_), FileStandardInfo, &info, sizeof info) ||
           info.DeletePending || info.NumberOfLinks == 0;
}

uint32_t JournalFile::Resize(uint64_t size)
{
    if (const uint32_t code = SeekTo(AsHandle(handle_), static_cast<LONGLONG>(size), FILE_BEGIN))
        return code;
    return SetEndOfFile(AsHandle(handle_)) ? 0 : LastErrorCode();
}

uint32_t JournalFile::Append(const char *bytes, size_t size)
{
    if (const uint32_t code = SeekTo(AsHandle(handle_), 0, FILE_END))
        return code;
    return WriteAll(AsHandle(handle_), bytes, size);
}

uint32_t JournalFile::Sync()
{
    return FlushFileBuffers(AsHandle(handle_)) ? 0 : LastErrorCode();
}

uint32_t JournalFile::Size(uint64_t &size)
{
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(AsHandle(handle_), &length))
        return LastErrorCode();
    size = static_cast<uint64_t>(length.QuadPart);
    return 0;
}

uint32_t JournalFile::Read(uint64_t offset, char *bytes, size_t size, size_t &got)
{
    got = 0;
    if (const uint32_t code = SeekTo(AsHandle(handle_), static_cast<LONGLONG>(offset), FILE_BEGIN))
        return code;
    DWORD read = 0;
    if (!ReadFile(AsHandle(handle_), bytes, static_cast<DWORD>(std::min(size, kMaxCallBytes)), &read, nullptr))
        return LastErrorCode();
    got = read;
    return 0;
}

uint32_t JournalFile::Modified(LocalDateTime &when)
{
    FILETIME written{};
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!GetFileTime(AsHandle(handle_), nullptr, nullptr, &written) || !FileTimeToSystemTime(&written, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return LastErrorCode();
    when = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
    return 0;
}

uint32_t JournalFile::RemoveAndClose(const std::string &path)
{
    const uint32_t code = DeleteFileW(Utf8ToWide(path).c_str()) ? 0 : LastErrorCode();
    Close();
    return code;
}

uint32_t JournalFile::Rename(const std::string &path, const std::string &newPath)
{
    // Without MOVEFILE_REPLACE_EXISTING an existing name is never replaced;
    // with MOVEFILE_WRITE_THROUGH the new name is durable on return.
    return MoveFileExW(Utf8ToWide(path).c_str(), Utf8ToWide(newPath).c_str(), MOVEFILE_WRITE_THROUGH) ? 0
                                                                                                      : LastErrorCode();
}

void JournalFile::Close()
{
    if (handle_ != nullptr)
        CloseHandle(AsHandle(handle_));  // closing releases the lock; nothing is left to report
    handle_ = nullptr;
}

// A renamed file's name is durable with the rename (MOVEFILE_WRITE_THROUGH).
uint32_t SyncFolder(const std::string &)
{
    return 0;
}

uint32_t FilesEndingIn(const std::string &folder, std::string_view suffix, std::vector<std::string> &names)
{
    names.clear();
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(Utf8ToWide(folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const uint32_t code = LastErrorCode();
        return code == ERROR_FILE_NOT_FOUND ? 0 : code;
    }
    do {
        const std::string name = WideToUtf8(found.cFileName);
        if (name.size() > suffix.size() && std::string_view(name).substr(name.size() - suffix.size()) == suffix)
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    const uint32_t code = GetLastError() == ERROR_NO_MORE_FILES ? 0 : LastErrorCode();
    FindClose(search);
    return code;
}

uint32_t CurrentProcessId()
{
    return GetCurrentProcessId();
}

bool IsPlainFile(const std::string &path)
{
    const DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

uint32_t RandomBytes(void *bytes, size_t size)
{
    const NTSTATUS status =
        BCryptGenRandom(nullptr, static_cast<PUCHAR>(bytes), static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    return BCRYPT_SUCCESS(status) ? 0 : ERROR_GEN_FAILURE;
}
