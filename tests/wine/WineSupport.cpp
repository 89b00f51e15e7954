#include "WineSupport.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

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

std::vector<RecordedMessage> ReadRecord(const std::string &path)
{
    std::vector<RecordedMessage> messages;
    std::ifstream in(path);
    std::string line;
    // "<rate> <hex byte> <hex byte> ...": a line is taken only once it is whole.
    while (std::getline(in, line) && !in.eof()) {
        std::istringstream fields(line);
        RecordedMessage message;
        fields >> message.lineRate;
        unsigned byte = 0;
        while (fields >> std::hex >> byte)
            message.bytes.push_back(static_cast<uint8_t>(byte));
        messages.push_back(message);
    }
    return messages;
}

}  // namespace wine_support
