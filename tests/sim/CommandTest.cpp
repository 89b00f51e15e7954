// Commands from the client end: answers, recorded wire bytes and line rates,
// and the faults that bend the answers.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <thread>

#include "SimTestSupport.h"
#include "tests/support/CaseNames.h"

namespace {

using namespace simtest;
using vektasim::Fault;
using vektasim::Kind;

std::unique_ptr<vektasim::Simulator> StartQuiet(Kind kind = Kind::Vekta, bool answer = true)
{
    vektasim::Options options;
    options.kind = kind;
    options.traffic = vektasim::Traffic::None;
    options.answerCommands = answer;
    auto sim = std::make_unique<vektasim::Simulator>(options);
    std::string error;
    EXPECT_TRUE(sim->Start(error)) << error;
    return sim;
}

std::vector<Bytes> Wire(const std::vector<vektasim::ReceivedMessage> &messages)
{
    std::vector<Bytes> wire;
    for (const auto &m : messages)
        wire.push_back(m.bytes);
    return wire;
}

struct CommandCase {
    std::string name;
    Bytes bytes;
};

void PrintTo(const CommandCase &c, std::ostream *out)
{
    *out << c.name << ": " << HexText(c.bytes);
}

// Each command of TRILOX's initialisation, named by its place and type.
std::vector<CommandCase> InitCommandCases()
{
    std::vector<CommandCase> cases;
    for (const Bytes &command : InitCommands(Kind::Trilox))
        cases.push_back({"Command" + std::to_string(cases.size() + 1) + "_" + HexText({command[0]}), command});
    return cases;
}

class EveryCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(EveryCommand, IsAnsweredWithItsOwnTypeAndRecordedExactly)
{
    auto sim = StartQuiet();
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    const Bytes &command = GetParam().bytes;
    ASSERT_TRUE(slave.Send(command));
    EXPECT_EQ(slave.ReadMessage(), (Bytes{command[0], 0x00}));
    ASSERT_TRUE(WaitFor([&] { return sim->Received().size() == 1; }));
    const auto received = sim->Received();
    EXPECT_EQ(received[0].bytes, command);
    EXPECT_EQ(received[0].lineRate, kLineRate);
    EXPECT_EQ(sim->ReceivedBytes(), command);
}

INSTANTIATE_TEST_SUITE_P(InitSequence, EveryCommand, ::testing::ValuesIn(InitCommandCases()),
                         testing_support::CaseName());

TEST(Commands, WholeInitialisationIsRecordedWithTheRateOfEachMessage)
{
    auto sim = StartQuiet(Kind::Trilox);
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Initialise(Kind::Trilox));
    ASSERT_TRUE(WaitFor([&] { return sim->Received().size() == 7; }));
    const auto received = sim->Received();
    EXPECT_EQ(Wire(received), InitCommands(Kind::Trilox));
    std::vector<uint32_t> rates;
    for (const auto &m : received)
        rates.push_back(m.lineRate);
    EXPECT_EQ(rates, (std::vector<uint32_t>{kTriloxSetupRate, kLineRate, kLineRate, kLineRate, kLineRate, kLineRate,
                                            kLineRate}));
}

TEST(Commands, MessagesAreSplitWhateverTheWritesLookLike)
{
    auto sim = StartQuiet();
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    // Two messages in one write, then one message byte by byte.
    ASSERT_TRUE(slave.Send({0x5F, 0x00, 0x55, 0x03, 0x81, 0xFE, 0x03}));
    EXPECT_EQ(slave.ReadMessage(), (Bytes{0x5F, 0x00}));
    EXPECT_EQ(slave.ReadMessage(), (Bytes{0x55, 0x00}));
    for (uint8_t byte : Bytes{0x57, 0x01, 0x03})
        ASSERT_TRUE(slave.Send({byte}));
    EXPECT_EQ(slave.ReadMessage(), (Bytes{0x57, 0x00}));
    ASSERT_TRUE(WaitFor([&] { return sim->Received().size() == 3; }));
    EXPECT_EQ(Wire(sim->Received()),
              (std::vector<Bytes>{{0x5F, 0x00}, {0x55, 0x03, 0x81, 0xFE, 0x03}, {0x57, 0x01, 0x03}}));

    sim->ClearReceived();
    EXPECT_TRUE(sim->Received().empty());
    EXPECT_TRUE(sim->ReceivedBytes().empty());
}

// Noise on the line (a converter's echo at its open) leaves a message half
// taken; the adapter drops it once the line pauses, or only while asked to.
class BrokenOff : public ::testing::TestWithParam<bool> {};

TEST_P(BrokenOff, MessageIsDroppedAfterAPauseWhenTheAdapterTimesOut)
{
    vektasim::Options options;
    options.traffic = vektasim::Traffic::None;
    options.dropBrokenOff = GetParam();
    auto sim = std::make_unique<vektasim::Simulator>(options);
    std::string error;
    ASSERT_TRUE(sim->Start(error)) << error;
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    // The answer to the whole message shows the broken one was read too.
    ASSERT_TRUE(slave.Send({0x52, 0x00, 0x53, 0x20, 0x01}));
    EXPECT_EQ(slave.ReadMessage(), (Bytes{0x52, 0x00}));
    // The pause itself is what is tested: four times the adapter's 50 ms.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(slave.Send({0x5F, 0x00}));
    if (GetParam()) {
        EXPECT_EQ(slave.ReadMessage(), (Bytes{0x5F, 0x00}));
        EXPECT_EQ(Wire(sim->Received()), (std::vector<Bytes>{{0x52, 0x00}, {0x5F, 0x00}}));
    } else {
        // Without the time-out the command's bytes went into the broken
        // message, which the rest of its 32 bytes completes.
        Bytes filters = {0x53, 0x20, 0x01, 0x5F, 0x00};
        const Bytes rest(2 + size_t{0x20} - filters.size(), 0x00);
        ASSERT_TRUE(slave.Send(rest));
        filters.insert(filters.end(), rest.begin(), rest.end());
        EXPECT_EQ(slave.ReadMessage(), (Bytes{0x53, 0x00}));
        EXPECT_EQ(Wire(sim->Received()), (std::vector<Bytes>{{0x52, 0x00}, filters}));
    }
}

INSTANTIATE_TEST_SUITE_P(Adapter, BrokenOff, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "TimesOut" : "WaitsForEver"; });

TEST(Commands, IgnoredCommandsGetNoAnswer)
{
    auto sim = StartQuiet();
    sim->SetIgnoredCommands({0x53});
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    Bytes filters = {0x53, 0x20};
    filters.resize(34, 0x00);
    ASSERT_TRUE(slave.Send(filters));
    ASSERT_TRUE(slave.Send({0x52, 0x00}));
    // The answer to the later command comes first: the earlier one had none.
    EXPECT_EQ(slave.ReadMessage(), (Bytes{0x52, 0x00}));
    ASSERT_TRUE(WaitFor([&] { return sim->Received().size() == 2; }));
    EXPECT_EQ(sim->Received()[0].bytes, filters);
}

TEST(Commands, SilentAdapterStillStreamsAfterTheLastCommand)
{
    auto sim = StartQuiet(Kind::Vekta, false);
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Send({0x52, 0x00, 0x57, 0x01, 0x03}));
    ASSERT_TRUE(WaitFor([&] { return sim->Streaming(); }));
    vektasim::CanFrame frame;
    frame.id = 0x123;
    frame.length = 1;
    sim->QueueFrames({frame});
    EXPECT_EQ(slave.ReadMessage(), vektasim::EncodeFrameMessage(frame, Kind::Vekta));
}

struct FaultCase {
    const char *name;
    Fault fault;
    // Answers to 52 00 and then 5F 00, in the order they arrive.
    std::vector<Bytes> answers;
};

void PrintTo(const FaultCase &c, std::ostream *out)
{
    *out << c.name << ": " << c.answers.size() << " answers";
}

class AnswerFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(AnswerFault, ShapesTheAnswers)
{
    const FaultCase &c = GetParam();
    auto sim = StartQuiet();
    sim->SetFault(c.fault);
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Send({0x52, 0x00}));
    ASSERT_TRUE(slave.Send({0x5F, 0x00}));
    for (const Bytes &answer : c.answers)
        EXPECT_EQ(slave.ReadMessage(), answer);
    // Both commands are recorded whatever the answers were.
    ASSERT_TRUE(WaitFor([&] { return sim->Received().size() == 2; }));
}

INSTANTIATE_TEST_SUITE_P(Faults, AnswerFault,
                         ::testing::Values(FaultCase{"none", Fault::None, {{0x52, 0x00}, {0x5F, 0x00}}},
                                           FaultCase{"wrong_type_first",
                                                     Fault::WrongTypeFirst,
                                                     {{0xD2, 0x00}, {0x52, 0x00}, {0xDF, 0x00}, {0x5F, 0x00}}},
                                           FaultCase{
                                               "wrong_type_only", Fault::WrongTypeOnly, {{0xD2, 0x00}, {0xDF, 0x00}}}),
                         testing_support::CaseName());

TEST(Commands, SilenceAnswersNothingUntilLifted)
{
    auto sim = StartQuiet();
    sim->SetFault(Fault::Silence);
    SlaveEnd slave(sim->PortPath());
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Send({0x52, 0x00}));
    // A message shows once the simulator has acted on it, so lifting the
    // fault now cannot reach back to this command.
    ASSERT_TRUE(WaitFor([&] { return sim->Received().size() == 1; }));
    sim->SetFault(Fault::None);
    ASSERT_TRUE(slave.Send({0x5F, 0x00}));
    EXPECT_EQ(slave.ReadMessage(), (Bytes{0x5F, 0x00}));
}

}  // namespace
