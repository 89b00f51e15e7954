#include <windows.h>

#include "PortList.h"

namespace {

// A machine with many devices needs more than the first try's room.
constexpr DWORD kFirstListBytes = 64 * 1024;
constexpr DWORD kMaxListBytes = 16 * 1024 * 1024;

}  // namespace

std::vector<std::string> SystemPortNames()
{
    std::vector<char> buffer(kFirstListBytes);
    DWORD size = 0;
    while ((size = QueryDosDeviceA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()))) == 0) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || buffer.size() >= kMaxListBytes)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    std::vector<std::string> names;
    for (DWORD at = 0; at < size && buffer[at] != '\0';) {
        names.emplace_back(&buffer[at]);
        at += static_cast<DWORD>(names.back().size()) + 1;
    }
    return FilterComPorts(names);
}
