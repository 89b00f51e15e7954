#include "PortList.h"

#include <windows.h>

namespace {
constexpr DWORD kDeviceNamesSize = 65535;
}

std::vector<std::string> SystemPortNames()
{
    std::vector<char> buffer(kDeviceNamesSize);
    const DWORD size = QueryDosDeviceA(nullptr, buffer.data(), kDeviceNamesSize);
    std::vector<std::string> names;
    for (DWORD at = 0; at < size && buffer[at] != '\0';) {
        names.emplace_back(&buffer[at]);
        at += static_cast<DWORD>(names.back().size()) + 1;
    }
    return FilterComPorts(names);
}
