#include "PortList.h"

#include <filesystem>

namespace {

constexpr char kComPrefix[] = "com";
constexpr size_t kComPrefixLength = 3;
constexpr size_t kMaxComNameLength = 6;

bool IsComName(const std::string &name)
{
    if (name.size() < kComPrefixLength || name.size() > kMaxComNameLength)
        return false;
    for (size_t i = 0; i < kComPrefixLength; ++i) {
        const char c = name[i];
        const char lower = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        if (lower != kComPrefix[i])
            return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> FilterComPorts(const std::vector<std::string> &deviceNames)
{
    std::vector<std::string> ports;
    for (const std::string &name : deviceNames)
        if (IsComName(name))
            ports.push_back(name);
    return ports;
}

std::vector<std::string> TtyDevices(const std::string &classFolder)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(classFolder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (fs::exists(it->path() / "device", ignored))
            names.push_back(it->path().filename().string());
    }
    return names;
}
