// Converts capture logs into the formats other CAN tools read.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Candump.h"
#include "CommandLine.h"
#include "common/ProgramArguments.h"

namespace {

constexpr int kBadInput = 1;
constexpr int kUsageError = 2;
constexpr size_t kOutputBuffer = 1 << 20;

vektalog::Problem OutputProblem()
{
    return {"standard output", 0, std::strerror(errno)};
}

std::optional<vektalog::Problem> WriteLine(std::string_view line)
{
    if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size())
        return OutputProblem();
    return std::nullopt;
}

int Fail(const vektalog::Problem &problem)
{
    std::fprintf(stderr, "vektalog: %s\n", problem.Message().c_str());
    return kBadInput;
}

}  // namespace

int main(int argc, char **argv)
{
    vektalog::CommandLine line;
    std::string error;
    if (!vektalog::ParseCommandLine(ProgramArguments(argc, argv), line, error)) {
        std::fprintf(stderr, "vektalog: %s\nUsage: vektalog candump [--iface NAME] FILE...  (more: vektalog --help)\n",
                     error.c_str());
        return kUsageError;
    }
    if (line.help) {
        std::fputs(vektalog::Usage().c_str(), stdout);
        return 0;
    }
    if (std::setvbuf(stdout, nullptr, _IOFBF, kOutputBuffer) != 0)
        return Fail(OutputProblem());
    if (const auto problem = vektalog::WriteCandump(line.files, line.iface, WriteLine))
        return Fail(*problem);
    if (std::fflush(stdout) != 0)
        return Fail(OutputProblem());
    return 0;
}
