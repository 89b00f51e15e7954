// Writing a whole byte range to a file on Windows, which takes at most a
// DWORD's worth a call.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "common/platform/LastErrorWin32.h"

// Log and journal files stay open to every other reader, writer and
// remover: a log's handle stays with the journal until its sync.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The most one call reads or writes here: far below a DWORD's limit.
constexpr size_t kMaxCallBytes = size_t{1} << 30;

// Answers 0, or the system's code for the call that failed.
inline uint32_t WriteAll(HANDLE file, const char *bytes, size_t size)
{
    while (size > 0) {
        const auto chunk = static_cast<DWORD>(std::min(size, kMaxCallBytes));
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr))
            return LastErrorCode();
        if (written == 0)
            return ERROR_WRITE_FAULT;
        bytes += written;
        size -= written;
    }
    return 0;
}
