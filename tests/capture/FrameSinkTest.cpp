// The frame sink: every frame the adapter reports reaches it on the capture
// thread with its 29-bit mark and a wall-clock time that never goes back,
// also a frame without data bytes, which the table leaves out; every change
// of state reaches it with the attempt's errors.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

#include "SimSupport.h"
#include "capture/AdapterEncoding.h"
#include "tests/support/CaptureSupport.h"

namespace {

using namespace testing_support;

class RecordingSink final : public FrameSink {
public:
    void TakeFrame(const SinkFrame &frame) override
    {
        std::lock_guard lock(mutex_);
        frames_.push_back(frame);
    }
    void StateChanged(int32_t state, uint32_t sysError, int32_t) override
    {
        std::lock_guard lock(mutex_);
        states_.push_back(state);
        errors_.push_back(sysError);
    }
    std::vector<SinkFrame> Frames() const
    {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    std::vector<int32_t> States() const
    {
        std::lock_guard lock(mutex_);
        return states_;
    }
    std::vector<uint32_t> Errors() const
    {
        std::lock_guard lock(mutex_);
        return errors_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<SinkFrame> frames_;
    std::vector<int32_t> states_;
    std::vector<uint32_t> errors_;
};

vektasim::CanFrame Frame(uint32_t id, bool extended, std::vector<uint8_t> data)
{
    vektasim::CanFrame frame;
    frame.id = id;
    frame.extended = extended;
    frame.length = uint8_t(data.size());
    std::copy(data.begin(), data.end(), frame.data);
    return frame;
}

uint64_t WallClockUs()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count());
}

struct SinkCase {
    vektasim::Kind kind;
    bool group1Extended;  // VEKTA decodes every frame by group 1's width
    std::vector<vektasim::CanFrame> frames;
};

std::string SinkCaseName(const SinkCase &c)
{
    return c.kind == vektasim::Kind::Trilox ? "Trilox" : c.group1Extended ? "Vekta29" : "Vekta11";
}

void PrintTo(const SinkCase &c, std::ostream *out)
{
    *out << SinkCaseName(c);
}

const SinkCase kSinkCases[] = {
    {vektasim::Kind::Trilox,
     false,
     {Frame(0x7E8, false, {2, 1, 0xC, 0, 0, 0, 0, 0}), Frame(0x18DAF110, true, {0xAA, 0xBB, 0xCC}),
      Frame(0x123, false, {}), Frame(0x7FF, true, {1})}},
    {vektasim::Kind::Vekta,
     false,
     {Frame(0x7E8, false, {6, 0x41, 0}), Frame(0x100, false, {}), Frame(0x7DF, false, {2})}},
    {vektasim::Kind::Vekta, true, {Frame(0x0CF00400, true, {0x50, 0x7D}), Frame(0x18F0233D, true, {})}},
};

class FrameSinkTest : public LoggedRun, public ::testing::WithParamInterface<SinkCase> {};

TEST_P(FrameSinkTest, GetsEveryFrameMarkedAndTimedAndEveryState)
{
    const SinkCase &c = GetParam();
    auto sim = StartSimulator(Quiet(c.kind));
    Prepare(sim->PortPath());
    CaptureControl.hardware = c.kind == vektasim::Kind::Trilox ? 1 : 0;
    if (c.group1Extended)
        CaptureControl.radr11 = CaptureControl.radr11 | kExtendedFlag;
    RecordingSink sink;
    const uint64_t startedUs = WallClockUs();
    {
        CaptureThread thread(&sink);
        thread.Start();
        ASSERT_TRUE(WaitFor([&] { return sim->Streaming(); }));
        sim->QueueFrames(c.frames);
        ASSERT_TRUE(WaitFor([&] { return sink.Frames().size() >= c.frames.size(); }));
        thread.Stop();
    }
    const uint64_t endedUs = WallClockUs();
    const std::vector<SinkFrame> got = sink.Frames();
    ASSERT_EQ(got.size(), c.frames.size());
    for (size_t i = 0; i < got.size(); ++i) {
        const vektasim::CanFrame &sent = c.frames[i];
        EXPECT_EQ(got[i].id, sent.extended ? sent.id | kExtendedFlag : sent.id) << "frame " << i;
        ASSERT_EQ(got[i].length, sent.length) << "frame " << i;
        EXPECT_TRUE(std::equal(sent.data, sent.data + sent.length, got[i].data)) << "frame " << i;
        EXPECT_GE(got[i].timeUs, i == 0 ? startedUs : got[i - 1].timeUs) << "frame " << i;
        EXPECT_LE(got[i].timeUs, endedUs) << "frame " << i;
    }
    // Frames without data bytes reach the sink only, as the window never showed them.
    size_t withData = 0;
    for (const auto &frame : c.frames)
        withData += frame.length > 0;
    uint64_t tabled = 0;
    for (uint16_t i = 0; i < CaptureControl.frameCount.load(); ++i)
        tabled += CaptureControl.frames[i].count;
    EXPECT_EQ(tabled, withData);
    EXPECT_EQ(sink.States(), (std::vector<int32_t>{CaptureState::kOpening, CaptureState::kInitialising,
                                                   CaptureState::kReceiving, CaptureState::kIdle}));
}

INSTANTIATE_TEST_SUITE_P(Kinds, FrameSinkTest, ::testing::ValuesIn(kSinkCases),
                         [](const auto &info) { return SinkCaseName(info.param); });

TEST_F(LoggedRun, SinkHearsAFailedOpenWithItsError)
{
    Prepare((dir.path() / "no-such-port").string());
    RecordingSink sink;
    {
        CaptureThread thread(&sink);
        thread.Start();
        ASSERT_TRUE(WaitFor([&] { return sink.States().size() >= 2; }));
        thread.Stop();
    }
    const auto states = sink.States();
    const auto errors = sink.Errors();
    ASSERT_GE(states.size(), 2u);
    EXPECT_EQ(states[0], CaptureState::kOpening);
    EXPECT_EQ(states[1], CaptureState::kIdle);
    EXPECT_NE(errors[1], 0u) << "the closing state carries the failed open's error";
}

}  // namespace
