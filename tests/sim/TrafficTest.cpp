// The traffic sources seen from the client end: flood, replay, generator.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <set>
#include <string>

#include "SimTestSupport.h"
#include "tests/support/CaseNames.h"

namespace {

using namespace simtest;
using vektasim::CanFrame;
using vektasim::Kind;

constexpr size_t kHeadBytes = 6;  // type, count, identifier

struct FloodCase {
    const char *name;
    Kind kind;
    uint32_t ids;
    uint64_t frames;
    bool extended;
};

void PrintTo(const FloodCase &c, std::ostream *out)
{
    *out << c.name << ": ";
    vektasim::PrintTo(c.kind, out);
    *out << ", " << c.ids << " ids, " << c.frames << " frames";
}

class Flood : public ::testing::TestWithParam<FloodCase> {};

TEST_P(Flood, GoesRoundTheIdentifiersWithNewDataUpToTheLimit)
{
    const FloodCase &c = GetParam();
    vektasim::Options options;
    options.kind = c.kind;
    options.traffic = vektasim::Traffic::Flood;
    options.floodIds = c.ids;
    options.frameLimit = c.frames;
    auto sim = Start(options);
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Initialise(c.kind));
    Bytes lastOfFirstId;
    for (uint64_t i = 0; i < c.frames; ++i) {
        CanFrame f;
        f.id = static_cast<uint32_t>(i % c.ids);
        f.extended = c.extended;
        f.length = 8;
        const Bytes head = vektasim::EncodeFrameMessage(f, c.kind);
        const Bytes message = slave.ReadMessage();
        ASSERT_EQ(message.size(), head.size()) << i;
        ASSERT_TRUE(std::equal(head.begin(), head.begin() + kHeadBytes, message.begin())) << i;
        if (f.id == 0) {
            EXPECT_NE(message, lastOfFirstId) << i;
            lastOfFirstId = message;
        }
    }
    EXPECT_TRUE(WaitFor([&] { return sim->FramesSent() == c.frames; }));
}

INSTANTIATE_TEST_SUITE_P(Sizes, Flood,
                         ::testing::Values(FloodCase{"vekta_500", Kind::Vekta, 500, 5000, false},
                                           FloodCase{"trilox_2048", Kind::Trilox, 2048, 4096, false},
                                           FloodCase{"trilox_3000", Kind::Trilox, 3000, 6000, true}),
                         testing_support::CaseName());

struct ReplayCase {
    const char *name;
    const char *file;
    Kind kind;
    bool loop;
    uint64_t limit;  // 0: the whole file once
};

void PrintTo(const ReplayCase &c, std::ostream *out)
{
    *out << c.name << ": " << c.file << (c.loop ? " looped" : "");
}

class Replay : public ::testing::TestWithParam<ReplayCase> {};

TEST_P(Replay, FastReplaySendsTheFileInOrder)
{
    const ReplayCase &c = GetParam();
    std::vector<CanFrame> frames;
    std::string error;
    ASSERT_TRUE(vektasim::LoadCandump(kTraces + "/" + c.file, frames, error)) << error;
    vektasim::Options options;
    options.kind = c.kind;
    options.traffic = vektasim::Traffic::Replay;
    options.replayFile = kTraces + "/" + c.file;
    options.replayFast = true;
    options.replayLoop = c.loop;
    options.frameLimit = c.limit;
    auto sim = Start(options);
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Initialise(c.kind));
    const size_t count = c.limit > 0 ? c.limit : frames.size();
    for (size_t i = 0; i < count; ++i)
        ASSERT_EQ(slave.ReadMessage(), vektasim::EncodeFrameMessage(frames[i % frames.size()], c.kind)) << i;
    EXPECT_TRUE(WaitFor([&] { return sim->FramesSent() == count; }));
}

INSTANTIATE_TEST_SUITE_P(Traces, Replay,
                         ::testing::Values(ReplayCase{"obd_once", "ev-obd2-scan.log", Kind::Vekta, false, 0},
                                           ReplayCase{"obd_looped", "ev-obd2-scan.log", Kind::Vekta, true, 2000},
                                           ReplayCase{"truck_trilox", "truck-j1939-engine-on.log", Kind::Trilox, false,
                                                      0}),
                         testing_support::CaseName());

TEST(Replay, UnreadableFileFailsTheStart)
{
    vektasim::Options options;
    options.traffic = vektasim::Traffic::Replay;
    options.replayFile = "/nonexistent/trace.log";
    vektasim::Simulator sim(options);
    std::string error;
    EXPECT_FALSE(sim.Start(error));
    EXPECT_NE(error.find("/nonexistent/trace.log"), std::string::npos) << error;
}

struct GeneratorCase {
    const char *name;
    Kind kind;
    bool hasExtended;
};

void PrintTo(const GeneratorCase &c, std::ostream *out)
{
    *out << c.name << (c.hasExtended ? ", with 29-bit frames" : "");
}

class Generator : public ::testing::TestWithParam<GeneratorCase> {};

TEST_P(Generator, SendsChangingPeriodicFramesTheKindCanDecode)
{
    vektasim::Options options;
    options.kind = GetParam().kind;
    auto sim = Start(options);
    sim->SetRecordFrames(true);
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Initialise(GetParam().kind));
    constexpr size_t kFrames = 200;
    for (size_t i = 0; i < kFrames; ++i)
        ASSERT_EQ(slave.ReadMessage().at(0), 0x70) << i;
    ASSERT_TRUE(WaitFor([&] { return sim->FramesSent() >= kFrames; }));
    std::set<uint32_t> ids;
    std::set<std::string> data;  // the bytes of each distinct payload
    bool extended = false;
    for (const CanFrame &f : sim->SentFrames()) {
        ids.insert(f.id);
        data.insert(std::string(reinterpret_cast<const char *>(f.data), f.length));
        extended = extended || f.extended;
    }
    EXPECT_GE(ids.size(), 4u);
    EXPECT_TRUE(ids.count(0x7E8));
    EXPECT_GT(data.size(), ids.size());
    EXPECT_EQ(extended, GetParam().hasExtended);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Generator,
                         ::testing::Values(GeneratorCase{"VEKTA", Kind::Vekta, false},
                                           GeneratorCase{"TRILOX", Kind::Trilox, true}),
                         testing_support::CaseName());

TEST(Throttle, PacedOutputStillCarriesEveryFrame)
{
    vektasim::Options options;
    options.traffic = vektasim::Traffic::Flood;
    options.frameLimit = 2000;
    options.throttle = true;
    auto sim = Start(options);
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Initialise(Kind::Vekta));
    for (size_t i = 0; i < options.frameLimit; ++i)
        ASSERT_EQ(slave.ReadMessage().size(), 14u) << i;
    EXPECT_TRUE(WaitFor([&] { return sim->FramesSent() == options.frameLimit; }));
}

}  // namespace
