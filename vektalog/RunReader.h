// Reading the log files of one capture run: every line checked, the frames
// with their widths, and the stretches of the run's time bases.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "LogMessages.h"
#include "Problem.h"

namespace vektalog {

// Lines counting their stamps from one time base: the run's start, or a
// "Continue" line, which follows every write of the log.
struct Stretch {
    size_t file = 0;  // where it was written
    uint32_t lastStampMs = 0;

    bool operator==(const Stretch &) const = default;
};

struct RunShape {
    std::vector<int64_t> fileTimes;   // seconds since 1970, from the names
    std::vector<uint64_t> fileBytes;  // as far as they were read
    std::vector<Stretch> stretches;

    bool operator==(const RunShape &) const = default;
};

struct Frame {
    FrameLine line;
    bool extended = false;
    size_t stretch = 0;
    uint32_t stampMs = 0;
};

using FrameSink = std::function<std::optional<Problem>(const Frame &)>;

// Checks the files, given in the order written, and tells their shape.
std::optional<Problem> ScanRun(const std::vector<std::string> &files, RunShape &shape);

// Reads them again as far as the scan did, giving each frame to sink; a
// problem of the sink ends the reading. Files that changed meanwhile are a
// problem too.
std::optional<Problem> ReadRun(const std::vector<std::string> &files, const RunShape &shape, const FrameSink &sink);

}  // namespace vektalog
