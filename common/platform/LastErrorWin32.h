// The calling thread's last error code for a call that reported failure.
#pragma once

#include <windows.h>

#include <cstdint>

// A call that failed without saying why still must not read as success.
inline uint32_t LastErrorCode()
{
    const DWORD code = GetLastError();
    return code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE;
}
