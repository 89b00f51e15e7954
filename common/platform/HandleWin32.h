// Windows handles kept as void * in headers shared with other platforms.
#pragma once

#include <windows.h>

inline HANDLE AsHandle(void *handle)
{
    return static_cast<HANDLE>(handle);
}
