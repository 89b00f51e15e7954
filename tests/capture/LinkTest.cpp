// The adapter link through a real pseudo-terminal, with the test scripting
// the adapter's side byte for byte.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "Pty.h"
#include "capture/Unit2.h"
#include "common/ErrorText.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/CaseNames.h"

namespace {

using namespace testing_support;

class Link : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareControl(control(), dir, pty.slave());
        control().flags = FlagWord::kStart;
        thread().OpenPort();
        ASSERT_EQ(control().sysError.load(), 0u);
        thread().logBuffer.Clear();
    }
    void TearDown() override { thread().ClosePort(); }

    TC1 &thread() { return *cap.thread; }
    TCaptureControl &control() { return *cap.control; }
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> messages;
        for (const std::string &line : cap.thread->logBuffer.Lines())
            messages.push_back(line.substr(12));
        return messages;
    }

    TempDir dir;
    Pty pty;
    DetachedCapture cap;
};

TEST_F(Link, OpenLogsTheReadBackRateAndTheSettings)
{
    control().radr11 = 0x800007E0;
    thread().ClosePort();
    thread().OpenPort();
    EXPECT_EQ(control().state.load(), CaptureState::kOpening);
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{"Close " + pty.slave(), "Open " + pty.slave() + " Baud=833333(833333) RTO=1000",
                                        "CAN29 CAN11 SPEED=500000b/s SAMP=80% SJW=15%"}));
}

TEST_F(Link, CommandIsWrittenWholeAndItsAnswerLogged)
{
    pty.Send(std::string("\x5F\x00", 2));
    EXPECT_TRUE(thread().SendCommand(0x5F, 0, nullptr));
    EXPECT_EQ(pty.Receive(2), std::string("\x5F\x00", 2));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"TxD: 5F 00 ", "RxD: 5F 00 "}));
}

TEST_F(Link, AnswerAfterAnotherMessageStillCounts)
{
    pty.Send(std::string("\x70\x05\xFD\x00\x00\x00\x11"
                         "\x00\x00"
                         "\x57\x01\x03",
                         12));
    const uint8_t mode = 3;
    EXPECT_TRUE(thread().SendCommand(0x57, 1, &mode));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"TxD: 57 01 03 ", "RxD: 70 05 FD 00 00 00 11 ", "RxD: No Data",
                                                    "RxD: 57 01 03 "}));
    EXPECT_EQ(control().errorKind.load(), ErrorKind::kNone);
}

TEST_F(Link, SixMessagesOfOtherTypesFailTheCommand)
{
    std::string others;
    for (int i = 0; i < 6; ++i)
        others += std::string("\x52\x01\x00", 3);
    pty.Send(others + std::string("\x53\x00", 2));  // the seventh would have been the answer
    EXPECT_FALSE(thread().SendCommand(0x53, 0, nullptr));
    EXPECT_EQ(control().errorKind.load(), ErrorKind::kTxD);
    EXPECT_EQ(Messages().size(), 7u);
}

TEST_F(Link, SilenceFailsTheCommandAfterSixWaits)
{
    EXPECT_FALSE(thread().SendCommand(0x52, 0, nullptr));
    EXPECT_EQ(control().errorKind.load(), ErrorKind::kTxD);
    EXPECT_EQ(control().sysError.load(), 0u);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"TxD: 52 00 "}));
}

// An adapter unplugged while it is to answer: the command fails at once with
// the reason, not after six waits as a silent adapter's would.
TEST_F(Link, HangUpWhileAwaitingTheAnswerFailsTheCommandWithTheSystemError)
{
    std::thread unplug([&] {
        EXPECT_EQ(pty.Receive(2), std::string("\x52\x00", 2));
        pty.Hangup();
    });
    EXPECT_FALSE(thread().SendCommand(0x52, 0, nullptr));
    unplug.join();
    EXPECT_EQ(control().sysError.load(), InputOutputError());
    EXPECT_EQ(control().errorKind.load(), ErrorKind::kNone);
}

TEST_F(Link, LongestAnswerIsReadWhole)
{
    std::string answer("\x53\xFF", 2);
    answer += std::string(255, '\x01');
    pty.Send(answer);
    EXPECT_TRUE(thread().SendCommand(0x53, 0, nullptr));
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[1].size(), 5 + 257 * 3u);
}

struct FrameCase {
    const char *what;
    uint8_t hardware;
    uint32_t radr11;
    std::string wire;
    bool ok;
    uint32_t id;
    std::vector<uint8_t> data;
    const char *logLine;  // nullptr: nothing logged

    friend void PrintTo(const FrameCase &c, std::ostream *os) { *os << c.what; }
};

class FrameReading : public Link, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(FrameReading, DecodesOrRefusesTheMessage)
{
    const FrameCase &c = GetParam();
    control().hardware = c.hardware;
    control().radr11 = c.radr11;
    pty.Send(c.wire);
    uint8_t data[4096] = {};
    uint8_t length = 0xEE;
    uint32_t id = 0xEEEE;
    EXPECT_EQ(thread().ReadFrame(data, length, id, 200), c.ok);
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(std::vector<uint8_t>(data, data + length), c.data);
    if (c.logLine)
        EXPECT_EQ(Messages(), std::vector<std::string>{c.logLine});
    else
        EXPECT_TRUE(Messages().empty());
}

const std::string kPayload8("\x02\x01\x0C\x00\x00\x00\x00\x00", 8);

INSTANTIATE_TEST_SUITE_P(
    Messages, FrameReading,
    ::testing::Values(
        FrameCase{"vekta_11bit",
                  0,
                  0x7E0,
                  std::string("\x70\x0C\xFD\x00\x00\x00", 6) + kPayload8,
                  true,
                  0x7E8,
                  {2, 1, 0x0C, 0, 0, 0, 0, 0},
                  "RxD: 70 0C FD 00 00 00 02 01 0C 00 00 00 00 00 "},
        FrameCase{"vekta_group1_29bit",
                  0,
                  0x80000000,
                  std::string("\xC6\x1A\xF1\x10", 4).insert(0, "\x70\x04"),
                  true,
                  0x18DAF110,
                  {},
                  "RxD: 70 04 C6 1A F1 10 "},
        FrameCase{"trilox_marked_29bit",
                  1,
                  0x7E0,
                  std::string("\x70\x05\x91\x54\x56\x78\xAA", 7),
                  true,
                  0x12345678,
                  {0xAA},
                  "RxD: 70 05 91 54 56 78 AA "},
        FrameCase{"trilox_unmarked_11bit",
                  1,
                  0x80000000,
                  std::string("\x70\x05\xFD\x00\x00\x00\x01", 7),
                  true,
                  0x7E8,
                  {1},
                  "RxD: 70 05 FD 00 00 00 01 "},
        FrameCase{"other_type_dropped", 0, 0, std::string("\x55\x01\x07", 3), true, 0, {}, "RxD: 55 01 07 "},
        FrameCase{"count_zero", 0, 0, std::string("\x55\x00", 2), true, 0, {}, "RxD: 55 00 No Data"},
        FrameCase{"count_below_identifier", 0, 0, std::string("\x70\x02\xFD\x00", 4), true, 0, {}, "RxD: 70 02 FD 00 "},
        FrameCase{"count_above_eight_data_bytes",
                  0,
                  0,
                  std::string("\x70\x0D\xFD\x00\x00\x00", 6) + kPayload8 + "\x09",
                  true,
                  0,
                  {},
                  "RxD: 70 0D FD 00 00 00 02 01 0C 00 00 00 00 00 09 "},
        FrameCase{"silence", 0, 0, "", true, 0, {}, nullptr},
        FrameCase{"count_missing", 0, 0, "\x70", false, 0, {}, nullptr},
        FrameCase{"payload_cut_short", 0, 0, std::string("\x70\x0C\xFD\x00", 4), false, 0, {}, nullptr}),
    PrintedName());

// An unplugged adapter, noticed wherever in a message: the same failure,
// the same system error for the attempt to log.
struct HangUpCase {
    const char *what;
    std::string before;  // what arrived before the far end hung up
};

void PrintTo(const HangUpCase &c, std::ostream *out)
{
    *out << c.what;
}

class HangUp : public Link, public ::testing::WithParamInterface<HangUpCase> {};

TEST_P(HangUp, FailsTheReadWithTheSystemError)
{
    const std::string &before = GetParam().before;
    pty.Send(before);
    ASSERT_TRUE(WaitFor([&] { return pty.Unread() == before.size(); }));
    // Hung up once the read has taken what came; a hang-up flushes the rest.
    std::thread unplug([&] {
        EXPECT_TRUE(WaitFor([&] { return pty.Unread() == 0; }));
        pty.Hangup();
    });
    uint8_t data[4096] = {};
    uint8_t length = 0;
    uint32_t id = 0;
    EXPECT_FALSE(thread().ReadFrame(data, length, id, 5000));
    unplug.join();
    EXPECT_EQ(control().sysError.load(), InputOutputError());
    EXPECT_EQ(length, 0);
}

INSTANTIATE_TEST_SUITE_P(Messages, HangUp,
                         ::testing::Values(HangUpCase{"on_the_type_byte", ""}, HangUpCase{"on_the_count_byte", "\x70"},
                                           HangUpCase{"in_the_payload", std::string("\x70\x0C\xFD\x00", 4)}),
                         PrintedName());

}  // namespace
