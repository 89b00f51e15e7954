// The traffic sources' schedules on given time points; no clock is read.
#include <gtest/gtest.h>

#include <map>

#include "sim/Traffic.h"

namespace {

using namespace std::chrono_literals;
using vektasim::CanFrame;
using vektasim::Clock;
using vektasim::Kind;

const Clock::time_point kStartedAt = Clock::time_point{} + 1h;

std::vector<CanFrame> Recorded(std::initializer_list<uint64_t> timesUs)
{
    std::vector<CanFrame> frames;
    uint32_t id = 0x100;
    for (uint64_t t : timesUs) {
        CanFrame f;
        f.id = id++;
        f.timeUs = t;
        frames.push_back(f);
    }
    return frames;
}

// The due time of each frame taken, as an offset from kStartedAt.
std::vector<std::chrono::microseconds> Schedule(vektasim::TrafficSource &source, size_t count)
{
    std::vector<std::chrono::microseconds> offsets;
    for (size_t i = 0; i < count && source.NextDue(); ++i) {
        offsets.push_back(std::chrono::duration_cast<std::chrono::microseconds>(*source.NextDue() - kStartedAt));
        source.Take();
    }
    return offsets;
}

TEST(ReplaySource, KeepsTheRecordedSpacingFromTheResume)
{
    auto replay = vektasim::MakeReplay(Recorded({0, 1000, 1500}), false, false);
    replay->Resume(kStartedAt);
    EXPECT_EQ(Schedule(*replay, 10), (std::vector<std::chrono::microseconds>{0us, 1000us, 1500us}));
    EXPECT_FALSE(replay->NextDue());
}

TEST(ReplaySource, LoopsAfterAGapAndResumesWhereItStopped)
{
    auto replay = vektasim::MakeReplay(Recorded({0, 1000}), false, true);
    replay->Resume(kStartedAt);
    EXPECT_EQ(Schedule(*replay, 3), (std::vector<std::chrono::microseconds>{0us, 1000us, 2000us}));
    // Streaming stopped for a while: the next frame is due at the resume.
    replay->Resume(kStartedAt + 10s);
    EXPECT_EQ(Schedule(*replay, 2), (std::vector<std::chrono::microseconds>{10s, 10s + 1000us}));
}

TEST(ReplaySource, FastReplayIsAlwaysDueAndEmptyFileNever)
{
    auto fast = vektasim::MakeReplay(Recorded({0, 5000000}), true, false);
    EXPECT_EQ(fast->NextDue(), Clock::time_point::min());
    fast->Take();
    EXPECT_EQ(fast->NextDue(), Clock::time_point::min());
    fast->Take();
    EXPECT_FALSE(fast->NextDue());
    EXPECT_FALSE(vektasim::MakeReplay({}, false, true)->NextDue());
}

TEST(GeneratorSource, RepeatsEachIdentifierAtItsPeriod)
{
    auto generator = vektasim::MakeGenerator(Kind::Vekta);
    generator->Resume(kStartedAt);
    std::map<uint32_t, std::vector<Clock::time_point>> due;
    while (*generator->NextDue() < kStartedAt + 200ms) {
        const auto when = *generator->NextDue();
        due[generator->Take().id].push_back(when);
    }
    ASSERT_EQ(due.count(0x100), 1u);
    ASSERT_EQ(due.count(0x7E8), 1u);
    EXPECT_EQ(due[0x100].size(), 20u);  // every 10 ms
    EXPECT_EQ(due[0x7E8].size(), 2u);   // every 100 ms
    EXPECT_EQ(due[0x100][1] - due[0x100][0], 10ms);
}

}  // namespace
