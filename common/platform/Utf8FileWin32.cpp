#include "common/Utf8File.h"

#include <cerrno>

#include "WideText.h"

std::FILE *OpenUtf8File(const std::string &path, const char *mode)
{
    const std::wstring widePath = Utf8ToWide(path);
    if (widePath.empty()) {
        errno = EINVAL;  // not UTF-8: no file has that name
        return nullptr;
    }
    return _wfopen(widePath.c_str(), Utf8ToWide(mode).c_str());
}
