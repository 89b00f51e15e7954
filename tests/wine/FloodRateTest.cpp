// The Windows build's pace from a flooding adapter behind a COM port, the
// figure that stands beside the Linux build's (tests/capture).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "WineSupport.h"
#include "tests/capture/FloodRate.h"
#include "tests/support/BenchTrace.h"

namespace {

using namespace testing_support;
using bench_support::Environment;
using wine_support::UnderWine;

TEST(FloodRate, WindowsBuildTakesEveryFrame)
{
    const std::string port = Environment("VEKTAMON_TEST_FLOOD_PORT");
    const std::string frames = Environment("VEKTAMON_TEST_FLOOD_FRAMES");
    if (port.empty() || frames.empty())
        GTEST_SKIP() << "no flooding adapter behind a port";
    TempDir logs;
    const double rate = FloodRate(logs, port, std::stoull(frames));
    EXPECT_GT(rate, 0) << TabledFrames() << " of " << frames << " frames tabled";
    std::printf("[ FIGURE   ] Windows build%s: %.0f frames/s from a flooding TRILOX adapter, CAN LOG on\n",
                UnderWine() ? " under Wine" : "", rate);
}

}  // namespace
