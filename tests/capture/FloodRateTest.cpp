// The Linux build's pace from a flooding adapter, the figure that stands
// beside the Windows build's under Wine.
#include <gtest/gtest.h>

#include <cstdio>

#include "FloodRate.h"
#include "SimSupport.h"

namespace {

using namespace testing_support;

TEST(FloodRate, LinuxBuildTakesEveryFrame)
{
    TempDir logs;
    vektasim::Options options;
    options.kind = vektasim::Kind::Trilox;
    options.traffic = vektasim::Traffic::Flood;
    options.floodIds = kFloodRateIds;
    options.frameLimit = kFloodRateFrames;
    auto sim = StartSimulator(options);
    const double rate = FloodRate(logs, sim->PortPath(), kFloodRateFrames);
    EXPECT_GT(rate, 0) << TabledFrames() << " of " << kFloodRateFrames << " frames tabled";
    std::printf("[ FIGURE   ] Linux build: %.0f frames/s from a flooding TRILOX adapter, CAN LOG on\n", rate);
}

}  // namespace
