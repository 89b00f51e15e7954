// The version text on Windows: "FileVersion" of the first translation in the
// version information of the program's own file.
#include "Version.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "common/platform/WideText.h"

namespace {

constexpr DWORD kPathChars = 32768;  // the longest path Windows knows
constexpr size_t kMaxVersionChars = 255;

struct Translation {
    WORD language;
    WORD codePage;
};

std::wstring OwnPath()
{
    std::wstring path(kPathChars, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), kPathChars);
    if (length == 0 || length >= kPathChars)
        return {};
    path.resize(length);
    return path;
}

}  // namespace

// Any failure gives an empty text; the caption then ends at "v".
std::string ProgramVersion()
{
    const std::wstring path = OwnPath();
    if (path.empty())
        return {};
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return {};
    std::vector<unsigned char> info(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, info.data()))
        return {};
    void *found = nullptr;
    UINT foundSize = 0;
    if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &found, &foundSize) ||
        foundSize < sizeof(Translation))
        return {};
    const auto *first = static_cast<const Translation *>(found);
    wchar_t name[64];
    std::swprintf(name, sizeof name / sizeof name[0], L"\\StringFileInfo\\%04x%04x\\FileVersion", first->language,
                  first->codePage);
    if (!VerQueryValueW(info.data(), name, &found, &foundSize) || foundSize == 0)
        return {};
    const auto *text = static_cast<const wchar_t *>(found);
    size_t length = 0;
    while (length < foundSize && length < kMaxVersionChars && text[length] != L'\0')
        ++length;
    return WideToUtf8({text, length});
}
