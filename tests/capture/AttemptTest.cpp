// The attempts of a capture run: commands the adapter leaves unanswered, the
// pause between attempts, and the errors a run leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "SimSupport.h"
#include "capture/Unit2.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/CaseNames.h"
#include "tests/support/StepClock.h"

namespace {

using namespace testing_support;
using Bytes = std::vector<uint8_t>;

const std::string kTxDError = "\xCE\xF8\xE8\xE1\xEA\xE0 TxD";  // "Ошибка TxD" in code page 1251

size_t CommandCount(const vektasim::Simulator &sim, uint8_t code)
{
    const auto commands = CommandsReceived(sim);
    return static_cast<size_t>(
        std::count_if(commands.begin(), commands.end(), [code](const Bytes &m) { return m[0] == code; }));
}

struct CommandCase {
    const char *name;
    vektasim::Kind kind;
    uint8_t code;

    friend void PrintTo(const CommandCase &c, std::ostream *os) { *os << c.name; }
};

class UnansweredCommand : public LoggedRun, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(UnansweredCommand, EndsTheAttemptWithTxDErrorAndRetries)
{
    auto sim = StartSimulator(Quiet(GetParam().kind));
    sim->SetIgnoredCommands({GetParam().code});
    Prepare(sim->PortPath());
    CaptureThread thread;
    thread.Start();
    EXPECT_TRUE(WaitFor([] { return CaptureControl.errorKind.load() == ErrorKind::kTxD; }));
    ASSERT_TRUE(WaitFor([&] { return CommandCount(*sim, 0x5F) >= 2; }));  // a second attempt began
    thread.Stop();
    EXPECT_FALSE(HasCommand(*sim, 0x57));
    const auto messages = AllLogMessages(dir);
    EXPECT_GE(CountOf(messages, kTxDError), 1u);
    EXPECT_FALSE(Contains(messages, "--- End Init Adapter ---"));
}

INSTANTIATE_TEST_SUITE_P(Commands, UnansweredCommand,
                         ::testing::Values(CommandCase{"filters_0x53", vektasim::Kind::Vekta, 0x53},
                                           CommandCase{"listen_0x52", vektasim::Kind::Vekta, 0x52}),
                         CaseName());

class PassedOverCommand : public LoggedRun, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(PassedOverCommand, LeavesNoErrorAndReceptionStarts)
{
    auto sim = StartSimulator(Quiet(GetParam().kind));
    sim->SetIgnoredCommands({GetParam().code});
    Prepare(sim->PortPath());
    CaptureControl.hardware = GetParam().kind == vektasim::Kind::Trilox ? 1 : 0;
    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }));
    // The state is stored after the last command, so the error fields are final here.
    EXPECT_EQ(CaptureControl.errorKind.load(), ErrorKind::kNone);
    EXPECT_EQ(CaptureControl.sysError.load(), 0u);
    thread.Stop();

    // One attempt, and it went on to the filters and the mode command.
    EXPECT_EQ(CommandCount(*sim, 0x53), 1u);
    EXPECT_EQ(CommandCount(*sim, 0x57), 1u);
    const auto messages = AllLogMessages(dir);
    EXPECT_FALSE(Contains(messages, kTxDError));
    EXPECT_TRUE(Contains(messages, "--- End Init Adapter ---"));
}

INSTANTIATE_TEST_SUITE_P(Commands, PassedOverCommand,
                         ::testing::Values(CommandCase{"speed_0x55", vektasim::Kind::Vekta, 0x55},
                                           CommandCase{"reset_0x5F", vektasim::Kind::Vekta, 0x5F},
                                           CommandCase{"mode_0x57", vektasim::Kind::Vekta, 0x57},
                                           CommandCase{"trilox_setup_0x59", vektasim::Kind::Trilox, 0x59}),
                         CaseName());

class Attempts : public LoggedRun {};

// TRILOX, whose open has no DTR pulse, so that the log's stamps of the
// closing and the next opening frame the pause alone.
TEST_F(Attempts, StopDuringThePauseStillOpensAndStopsAfterTheSpeedCommand)
{
    constexpr auto kPause = std::chrono::milliseconds(300);
    StepClockInPlace time;
    time.clock.Hold(kPause);
    auto sim = StartSimulator(Quiet(vektasim::Kind::Trilox));
    sim->SetIgnoredCommands({0x53});
    Prepare(sim->PortPath());
    CaptureControl.hardware = 1;
    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor([&] { return time.clock.Holding(); }));  // in the pause after the first attempt
    CaptureControl.flags.store(FlagWord::kAlive);
    time.clock.Release();
    thread.Stop();

    const auto commands = CommandsReceived(*sim);
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(CommandCount(*sim, 0x59), 2u);  // the second attempt began
    EXPECT_EQ(CommandCount(*sim, 0x55), 2u);  // and went as far as the speed
    EXPECT_EQ(CommandCount(*sim, 0x53), 1u);  // but no further
    EXPECT_EQ(commands.back()[0], 0x55);
    EXPECT_EQ(CaptureControl.flags.load(), FlagWord::kAlive);

    const auto files = dir.LogFiles();
    ASSERT_EQ(files.size(), 1u);
    const auto lines = LogLines(ReadFile(files[0]));
    const auto close = std::find_if(lines.begin(), lines.end(),
                                    [&](const LogLine &l) { return l.message == "Close " + sim->PortPath(); });
    ASSERT_NE(close, lines.end());
    ASSERT_NE(close + 1, lines.end());
    EXPECT_EQ((close + 1)->message.rfind("Open " + sim->PortPath(), 0), 0u) << (close + 1)->message;
    EXPECT_EQ((close + 1)->stampMs - close->stampMs, kPause.count());
}

struct EndCase {
    const char *name;
    bool missingPort;  // otherwise the filter command goes unanswered
    uint32_t sysError;
    int32_t errorKind;

    friend void PrintTo(const EndCase &c, std::ostream *os) { *os << c.name; }
};

class RunEnd : public LoggedRun, public ::testing::WithParamInterface<EndCase> {};

TEST_P(RunEnd, KeepsTheErrorsOfItsLastAttempt)
{
    const EndCase &c = GetParam();
    TempDir links;
    auto sim = StartSimulator(Quiet());
    sim->SetIgnoredCommands({0x53});
    Prepare(c.missingPort ? (links.path() / "absent").string() : sim->PortPath());
    CaptureThread thread;
    thread.Start();
    if (c.missingPort)
        ASSERT_TRUE(WaitFor([] { return CaptureControl.sysError.load() != 0; }));
    else
        ASSERT_TRUE(WaitFor([&] { return HasCommand(*sim, 0x53); }));  // Stop comes while it waits in vain
    thread.Stop();
    EXPECT_EQ(CaptureControl.sysError.load(), c.sysError);
    EXPECT_EQ(CaptureControl.errorKind.load(), c.errorKind);
    EXPECT_EQ(CaptureControl.state.load(), CaptureState::kIdle);
}

INSTANTIATE_TEST_SUITE_P(Errors, RunEnd,
                         ::testing::Values(EndCase{"missing_port", true, ENOENT, ErrorKind::kNone},
                                           EndCase{"unanswered_filters", false, 0, ErrorKind::kTxD}),
                         CaseName());

}  // namespace
