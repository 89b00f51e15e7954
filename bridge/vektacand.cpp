// vektacand: the adapter's frames on a SocketCAN interface and as can-utils
// log lines, for every Linux CAN tool.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Run.h"

namespace {

std::string ProgramFolder()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().string();
}

}  // namespace

int main(int argc, char **argv)
{
    using namespace vektacand;
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), line, error)) {
        std::fprintf(stderr, "vektacand: %s\nUsage: vektacand [OPTIONS] TTY [IFACE]  (more: vektacand --help)\n",
                     error.c_str());
        return kExitBadInput;
    }
    if (line.help) {
        std::fputs(Usage().c_str(), stdout);
        return 0;
    }
    if (line.version) {
        std::puts("vektacand " VEKTACAND_VERSION);
        return 0;
    }
    if (auto failure = PrepareControl(line, ProgramFolder())) {
        std::fprintf(stderr, "vektacand: %s\n", failure->c_str());
        return kExitBadInput;
    }
    return RunBridge(line);
}
