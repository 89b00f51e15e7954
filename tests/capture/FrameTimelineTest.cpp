// The frames' times across steps of the wall clock: never back, never stuck
// on one stamp after a step back, a step forward passed through.
#include <gtest/gtest.h>

#include <vector>

#include "capture/FrameTimeline.h"

namespace {

struct TimelineCase {
    std::string name;
    std::vector<uint64_t> wallUs;
    std::vector<uint64_t> stampsUs;
};

const TimelineCase kTimelineCases[] = {
    {"SteadyClockPassesThrough", {100, 250, 400}, {100, 250, 400}},
    {"SameReadingSameStamp", {500, 500, 500}, {500, 500, 500}},
    {"StepBackContinuesFromTheLast", {1000, 2000, 500, 600, 750}, {1000, 2000, 2000, 2100, 2250}},
    {"TwoStepsBack", {1000, 900, 800, 850}, {1000, 1000, 1000, 1050}},
    {"StepForwardPassesThrough", {1000, 5000, 5001}, {1000, 5000, 5001}},
    {"BackThenForwardPastTheOld", {1000, 2000, 100, 3000}, {1000, 2000, 2000, 4900}},
    {"FirstReadingTakenAsItIs", {1765341600123456}, {1765341600123456}},
};

class FrameTimelineTest : public ::testing::TestWithParam<TimelineCase> {};

TEST_P(FrameTimelineTest, StampsFollowTheRule)
{
    FrameTimeline timeline;
    std::vector<uint64_t> stamps;
    for (const uint64_t wall : GetParam().wallUs)
        stamps.push_back(timeline.Stamp(wall));
    EXPECT_EQ(stamps, GetParam().stampsUs);
}

INSTANTIATE_TEST_SUITE_P(Clocks, FrameTimelineTest, ::testing::ValuesIn(kTimelineCases),
                         [](const auto &info) { return info.param.name; });

}  // namespace
