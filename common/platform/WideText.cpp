#include "WideText.h"

#include <windows.h>

#include <climits>

std::wstring Utf8ToWide(std::string_view utf8)
{
    if (utf8.empty() || utf8.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(utf8.size());
    const int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (needed <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), needed) != needed)
        return {};
    return wide;
}

std::string WideToUtf8(std::wstring_view wide)
{
    if (wide.empty() || wide.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(wide.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return {};
    std::string utf8(static_cast<size_t>(needed), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), needed, nullptr, nullptr) != needed)
        return {};
    return utf8;
}
