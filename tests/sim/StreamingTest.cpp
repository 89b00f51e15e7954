// Frame streaming from the client end: when it starts and stops, what the
// frames look like on the wire, and the faults that break the stream.
#include <gtest/gtest.h>

#include <future>
#include <memory>

#include "SimTestSupport.h"
#include "tests/support/CaseNames.h"

namespace {

using namespace simtest;
using vektasim::CanFrame;
using vektasim::Fault;
using vektasim::Kind;

constexpr uint8_t kFrameType = 0x70;

vektasim::Options Quiet(Kind kind)
{
    vektasim::Options options;
    options.kind = kind;
    options.traffic = vektasim::Traffic::None;
    return options;
}

// Lengths 0 to 8, both widths, changing data.
std::vector<CanFrame> SomeFrames(size_t count)
{
    std::vector<CanFrame> frames;
    for (size_t i = 0; i < count; ++i) {
        CanFrame f;
        f.extended = i % 3 == 0;
        f.id = f.extended ? static_cast<uint32_t>(0x18DA0000 + i) : static_cast<uint32_t>(0x700 + i % 0x100);
        f.length = static_cast<uint8_t>(i % 9);
        for (uint8_t k = 0; k < f.length; ++k)
            f.data[k] = static_cast<uint8_t>(i * 7 + k);
        frames.push_back(f);
    }
    return frames;
}

bool SameFrame(const CanFrame &a, const CanFrame &b)
{
    return a.id == b.id && a.extended == b.extended && a.length == b.length &&
           std::equal(a.data, a.data + a.length, b.data);
}

TEST(Streaming, StartsOnlyAfterTheLastInitialisationCommand)
{
    vektasim::Options options;
    options.traffic = vektasim::Traffic::Generator;
    auto sim = Start(options);
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    auto commands = InitCommands(Kind::Vekta);
    commands.pop_back();
    // Each answer follows its command directly: no frame comes in between.
    for (const Bytes &command : commands) {
        ASSERT_TRUE(slave.Send(command));
        EXPECT_EQ(slave.ReadMessage(), (Bytes{command[0], 0x00}));
        EXPECT_FALSE(sim->Streaming());
    }
    ASSERT_TRUE(slave.Send({0x57, 0x01, 0x03}));
    EXPECT_EQ(slave.ReadMessage(), (Bytes{0x57, 0x00}));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(slave.ReadMessage().at(0), kFrameType);
    EXPECT_TRUE(sim->Streaming());
    EXPECT_GE(sim->FramesSent(), 1u);
}

// A VEKTA adapter with its built-in traffic, and a client it streams to.
class StreamingClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        vektasim::Options options;
        options.traffic = vektasim::Traffic::Generator;
        sim = Start(options);
        slave = std::make_unique<SlaveEnd>(sim->PortPath());
        ASSERT_TRUE(slave->opened());
        ASSERT_TRUE(slave->Initialise(Kind::Vekta));
        ASSERT_EQ(slave->ReadMessage().at(0), kFrameType);
    }

    std::unique_ptr<vektasim::Simulator> sim;
    std::unique_ptr<SlaveEnd> slave;
};

TEST_F(StreamingClient, ANewCommandStopsTheStreamUntilTheNextLastCommand)
{
    ASSERT_TRUE(slave->Send({0x5F, 0x00}));
    Bytes message;
    do
        message = slave->ReadMessage();
    while (!message.empty() && message[0] == kFrameType);
    EXPECT_EQ(message, (Bytes{0x5F, 0x00}));
    EXPECT_FALSE(sim->Streaming());
    ASSERT_TRUE(slave->Send({0x52, 0x00}));
    EXPECT_EQ(slave->ReadMessage(), (Bytes{0x52, 0x00}));
    ASSERT_TRUE(slave->Send({0x57, 0x01, 0x03}));
    EXPECT_EQ(slave->ReadMessage(), (Bytes{0x57, 0x00}));
    EXPECT_EQ(slave->ReadMessage().at(0), kFrameType);
}

TEST_F(StreamingClient, APowerCutQuietsTheAdapterUntilItIsInitialisedAgain)
{
    // Frames the client has not read yet wait in its line.
    slave->ForgetReadAhead();
    ASSERT_TRUE(WaitFor([&] { return slave->WaitingInLine() > 0; }));

    ASSERT_TRUE(sim->CutPower());
    EXPECT_FALSE(sim->Streaming());
    // What the adapter had sent is gone with its power: the first message
    // the same client reads is the answer to its next command.
    ASSERT_TRUE(slave->Send({0x5F, 0x00}));
    EXPECT_EQ(slave->ReadMessage(), (Bytes{0x5F, 0x00}));
    ASSERT_TRUE(slave->Initialise(Kind::Vekta));
    EXPECT_EQ(slave->ReadMessage().at(0), kFrameType);
}

// A flood fills the line, so that the cut meets a message half written.
// The cut waits for that message's end, which the client's reading lets out.
TEST(PowerCutBetweenMessages, LeavesOnlyWholeMessagesOnTheLine)
{
    vektasim::Options options;
    options.traffic = vektasim::Traffic::Flood;
    options.cutBetweenMessages = true;
    auto sim = Start(options);
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Initialise(Kind::Vekta));
    ASSERT_TRUE(WaitFor([&] { return slave.WaitingInLine() > 0; }));

    auto cut = std::async(std::launch::async, [&] { return sim->CutPower(); });
    constexpr auto kLookAgain = std::chrono::milliseconds(1);
    while (cut.wait_for(kLookAgain) != std::future_status::ready) {
        if (slave.WaitingInLine() > 0) {
            ASSERT_EQ(slave.ReadMessage().at(0), kFrameType);
        }
    }
    ASSERT_TRUE(cut.get());
    EXPECT_FALSE(sim->Streaming());
    // The frames on the line end where a message ends: the answer to the
    // next command is read as a message of its own.
    ASSERT_TRUE(slave.Send({0x5F, 0x00}));
    Bytes message;
    do
        message = slave.ReadMessage();
    while (!message.empty() && message[0] == kFrameType);
    EXPECT_EQ(message, (Bytes{0x5F, 0x00}));
}

struct KindCase {
    const char *name;
    Kind kind;
};

void PrintTo(const KindCase &c, std::ostream *out)
{
    *out << c.name;
}

class QueuedFrames : public ::testing::TestWithParam<KindCase> {};

TEST_P(QueuedFrames, ArriveEncodedInOrderAndAreRecordedAsSent)
{
    auto sim = Start(Quiet(GetParam().kind));
    sim->SetRecordFrames(true);
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Initialise(GetParam().kind));
    const auto frames = SomeFrames(3000);
    sim->QueueFrames(frames);
    for (size_t i = 0; i < frames.size(); ++i)
        ASSERT_EQ(slave.ReadMessage(), vektasim::EncodeFrameMessage(frames[i], GetParam().kind)) << i;
    ASSERT_TRUE(WaitFor([&] { return sim->FramesSent() == frames.size(); }));
    const auto sent = sim->SentFrames();
    ASSERT_EQ(sent.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        EXPECT_TRUE(SameFrame(sent[i], frames[i])) << i;
}

INSTANTIATE_TEST_SUITE_P(Adapters, QueuedFrames,
                         ::testing::Values(KindCase{"VEKTA", Kind::Vekta}, KindCase{"TRILOX", Kind::Trilox}),
                         testing_support::CaseName());

TEST(Streaming, CutShortBreaksOffOneMessageAndStopsTheStream)
{
    auto sim = Start(Quiet(Kind::Vekta));
    sim->SetRecordFrames(true);
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Initialise(Kind::Vekta));
    sim->SetFault(Fault::CutShort);
    const auto frames = SomeFrames(3);
    sim->QueueFrames(frames);
    const Bytes first = vektasim::EncodeFrameMessage(frames[0], Kind::Vekta);
    EXPECT_EQ(slave.ReadBytes(2), Bytes(first.begin(), first.begin() + 2));
    ASSERT_TRUE(WaitFor([&] { return !sim->Streaming(); }));

    // The next initialisation gets the frames that were left, whole.
    ASSERT_TRUE(slave.Send({0x57, 0x01, 0x03}));
    EXPECT_EQ(slave.ReadMessage(), (Bytes{0x57, 0x00}));
    EXPECT_EQ(slave.ReadMessage(), vektasim::EncodeFrameMessage(frames[1], Kind::Vekta));
    EXPECT_EQ(slave.ReadMessage(), vektasim::EncodeFrameMessage(frames[2], Kind::Vekta));
    ASSERT_TRUE(WaitFor([&] { return sim->FramesSent() == 2; }));
    const auto sent = sim->SentFrames();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(SameFrame(sent[0], frames[1]));
}

TEST(Streaming, GarbageFallsBetweenWholeFrames)
{
    auto sim = Start(Quiet(Kind::Trilox));
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Initialise(Kind::Trilox));
    sim->SetFault(Fault::Garbage);
    const auto frames = SomeFrames(50);
    sim->QueueFrames(frames);
    Bytes stream;
    const auto readUpTo = [&](size_t total) {
        const Bytes more = slave.ReadBytes(total > stream.size() ? total - stream.size() : 0);
        stream.insert(stream.end(), more.begin(), more.end());
        return stream.size() >= total;
    };
    // Every frame whole and in order, the first at once, each later one after
    // one to four bytes of noise.
    size_t pos = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const Bytes expected = vektasim::EncodeFrameMessage(frames[i], Kind::Trilox);
        const size_t minGap = i == 0 ? 0 : 1;
        const size_t maxGap = i == 0 ? 0 : 4;
        bool found = false;
        for (size_t gap = minGap; gap <= maxGap && !found; ++gap) {
            ASSERT_TRUE(readUpTo(pos + gap + expected.size())) << i;
            if (std::equal(expected.begin(), expected.end(), stream.begin() + static_cast<std::ptrdiff_t>(pos + gap))) {
                pos += gap + expected.size();
                found = true;
            }
        }
        ASSERT_TRUE(found) << i;
    }
}

}  // namespace
