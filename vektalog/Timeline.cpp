#include "Timeline.h"

#include <algorithm>

namespace vektalog {

namespace {
constexpr int64_t kMsPerSecond = 1000;
}  // namespace

std::vector<int64_t> StretchStarts(const RunShape &shape)
{
    std::vector<int64_t> starts;
    const auto &stretches = shape.stretches;
    for (size_t i = 0; i < stretches.size(); ++i) {
        if (i == 0) {
            starts.push_back(shape.fileTimes[stretches[0].file] * kMsPerSecond - stretches[0].lastStampMs);
            continue;
        }
        const Stretch &before = stretches[i - 1];
        starts.push_back(std::max(shape.fileTimes[before.file] * kMsPerSecond, starts.back() + before.lastStampMs));
    }
    return starts;
}

}  // namespace vektalog
