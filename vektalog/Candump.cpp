#include "Candump.h"

#include <cstdio>

#include "Timeline.h"
#include "capture/logstore/LogText.h"

namespace vektalog {

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kUsPerMs = 1000;

void AppendHex(std::string &text, uint32_t value, int digits)
{
    char hex[8];
    text.append(hex, WriteHexDigits(hex, value, digits));
}

}  // namespace

std::string CandumpLine(int64_t timeMs, std::string_view iface, const Frame &frame)
{
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "(%lld.%06lld) ", static_cast<long long>(timeMs / kMsPerSecond),
                  static_cast<long long>(timeMs % kMsPerSecond * kUsPerMs));
    std::string line(stamp);
    line.append(iface).append(1, ' ');
    AppendHex(line, frame.line.id, frame.extended ? 8 : 3);
    line += '#';
    for (size_t i = 0; i < frame.line.length; ++i)
        AppendHex(line, frame.line.data[i], 2);
    line += '\n';
    return line;
}

std::optional<Problem> WriteCandump(const std::vector<std::string> &files, std::string_view iface, const LineSink &out)
{
    RunShape shape;
    if (auto problem = ScanRun(files, shape))
        return problem;
    const std::vector<int64_t> starts = StretchStarts(shape);
    return ReadRun(files, shape, [&](const Frame &frame) {
        return out(CandumpLine(starts[frame.stretch] + frame.stampMs, iface, frame));
    });
}

}  // namespace vektalog
