#include "common/ProgramArguments.h"

#include <windows.h>

#include <shellapi.h>

#include "WideText.h"

std::vector<std::string> ProgramArguments(int argc, char **argv)
{
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv + 1, argv + argc);  // the narrow ones are all there is
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(WideToUtf8(wide[i]));
    LocalFree(wide);
    return arguments;
}
