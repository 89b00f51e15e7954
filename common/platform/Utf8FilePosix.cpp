#include "common/Utf8File.h"

std::FILE *OpenUtf8File(const std::string &path, const char *mode)
{
    return std::fopen(path.c_str(), mode);
}
