#include "WineSupport.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace wine_support {

namespace {

std::string Environment(const std::string &name)
{
    const char *value = std::getenv(name.c_str());
    return value != nullptr ? value : "";
}
}  // namespace

bool UnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void NoteWineDifference(const std::string &what)
{
    std::printf("[ WINE     ] %s\n", what.c_str());
}

SimulatedAdapter AdapterFromEnvironment(const std::string &kind)
{
    return {Environment("VEKTAMON_TEST_" + kind + "_PORT"), Environment("VEKTAMON_TEST_" + kind + "_RECORD")};
}

}  // namespace wine_support
