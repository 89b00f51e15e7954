#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "Pty.h"
#include "capture/SerialDevice.h"
#include "common/ErrorText.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/CaseNames.h"

namespace {

using testing_support::Pty;

PortTimeouts ReadWait(uint32_t ms)
{
    return {kMaxDword, kMaxDword, ms, 5, 0};
}

// Opens the pty's far end as a port in raw mode, as the capture does.
bool OpenRaw(SerialDevice &port, const Pty &pty)
{
    LineConfig config;
    return port.Open(pty.slave()) == 0 && port.GetState(config) == 0 && port.SetState(config) == 0;
}

class RateReadBack : public ::testing::TestWithParam<uint32_t> {};

TEST_P(RateReadBack, NonStandardRatesAreSetExactly)
{
    Pty pty;
    SerialDevice port;
    ASSERT_EQ(port.Open(pty.slave()), 0u);
    LineConfig config;
    ASSERT_EQ(port.GetState(config), 0u);
    config.BaudRate = GetParam();
    config.ByteSize = 8;
    ASSERT_EQ(port.SetState(config), 0u);
    LineConfig back;
    ASSERT_EQ(port.GetState(back), 0u);
    EXPECT_EQ(back.BaudRate, GetParam());
    EXPECT_EQ(back.ByteSize, 8);
    EXPECT_EQ(back.Parity, 0);
    EXPECT_EQ(back.StopBits, 0);
}

INSTANTIATE_TEST_SUITE_P(Rates, RateReadBack, ::testing::Values(833333u, 2000000u, 115200u),
                         testing_support::PrintedName());

TEST(SerialDevice, MissingPortGivesFileNotFound)
{
    SerialDevice port;
    EXPECT_EQ(port.Open("/dev/vektamon-no-such-port"), static_cast<uint32_t>(ENOENT));
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialDevice, SecondOpenerIsToldThePortIsBusy)
{
    Pty pty;
    SerialDevice first, second;
    ASSERT_EQ(first.Open(pty.slave()), 0u);
    EXPECT_EQ(second.Open(pty.slave()), PortBusyError());
    first.Close();
    EXPECT_EQ(second.Open(pty.slave()), 0u);
}

TEST(SerialDevice, ModemLinesArePassedOverWhereTheDeviceHasNone)
{
    Pty pty;
    SerialDevice port;
    ASSERT_EQ(port.Open(pty.slave()), 0u);
    for (ModemLine line : {ModemLine::SetRts, ModemLine::SetDtr, ModemLine::ClearDtr})
        EXPECT_EQ(port.Escape(line), 0u);
}

TEST(SerialDevice, ReadsOneByteAtATimeAndTimesOutWithNothing)
{
    Pty pty;
    SerialDevice port;
    ASSERT_TRUE(OpenRaw(port, pty));
    ASSERT_EQ(port.SetTimeouts(ReadWait(20)), 0u);
    uint8_t byte = 0;
    bool got = true;
    EXPECT_EQ(port.ReadByte(byte, got), 0u);
    EXPECT_FALSE(got);

    pty.Send("\x70\x0C");
    ASSERT_EQ(port.SetTimeouts(ReadWait(5000)), 0u);
    EXPECT_EQ(port.ReadByte(byte, got), 0u);
    EXPECT_TRUE(got);
    EXPECT_EQ(byte, 0x70);
    EXPECT_EQ(port.ReadByte(byte, got), 0u);
    EXPECT_EQ(byte, 0x0C);
}

TEST(SerialDevice, PurgeDropsWhatIsPending)
{
    Pty pty;
    SerialDevice port;
    ASSERT_TRUE(OpenRaw(port, pty));
    ASSERT_EQ(port.SetTimeouts(ReadWait(5000)), 0u);
    pty.Send("abc");
    uint8_t byte = 0;
    bool got = false;
    ASSERT_EQ(port.ReadByte(byte, got), 0u);  // 'a', with "bc" read ahead
    ASSERT_EQ(port.Purge(), 0u);
    ASSERT_EQ(port.SetTimeouts(ReadWait(20)), 0u);
    EXPECT_EQ(port.ReadByte(byte, got), 0u);
    EXPECT_FALSE(got);
}

TEST(SerialDevice, WritesReachTheFarEnd)
{
    Pty pty;
    SerialDevice port;
    ASSERT_TRUE(OpenRaw(port, pty));
    ASSERT_EQ(port.SetTimeouts(ReadWait(100)), 0u);
    const uint8_t message[] = {0x57, 0x01, 0x03};
    size_t written = 0;
    ASSERT_EQ(port.Write(message, sizeof message, written), 0u);
    EXPECT_EQ(written, sizeof message);
    EXPECT_EQ(pty.Receive(3), "\x57\x01\x03");
}

TEST(SerialDevice, HangUpIsAFailureNotSilence)
{
    Pty pty;
    SerialDevice port;
    ASSERT_EQ(port.Open(pty.slave()), 0u);
    ASSERT_EQ(port.SetTimeouts(ReadWait(5000)), 0u);
    pty.Hangup();
    uint8_t byte = 0;
    bool got = false;
    EXPECT_NE(port.ReadByte(byte, got), 0u);
    EXPECT_FALSE(got);
}

TEST(SerialDevice, LineIsRawFromTheOpen)
{
    Pty pty;  // its far end starts in the kernel's default mode, echo on
    SerialDevice port;
    ASSERT_EQ(port.Open(pty.slave()), 0u);
    pty.Send("57 01\n");
    ASSERT_EQ(port.SetTimeouts(ReadWait(5000)), 0u);
    uint8_t byte = 0;
    bool got = false;
    EXPECT_EQ(port.ReadByte(byte, got), 0u);
    EXPECT_TRUE(got);
    EXPECT_EQ(byte, '5');
    // An echo is put on the way back while the line takes the bytes in, so it
    // would reach the far end before anything written after they were read.
    size_t written = 0;
    ASSERT_EQ(port.Write(reinterpret_cast<const uint8_t *>("!"), 1, written), 0u);
    EXPECT_EQ(pty.Receive(1), "!") << "the line echoed what arrived";
}

std::atomic<int> signalsTaken{0};

void CountSignal(int)
{
    signalsTaken.fetch_add(1);
}

// Sends SIGUSR1 to the test's thread every few milliseconds while it reads,
// with a handler that lets interrupted calls fail with EINTR.
class InterruptedRead : public ::testing::Test {
protected:
    void SetUp() override
    {
        struct sigaction action {};
        action.sa_handler = CountSignal;
        sigemptyset(&action.sa_mask);
        ASSERT_EQ(sigaction(SIGUSR1, &action, &previous_), 0);
        signalsTaken = 0;
        ASSERT_TRUE(OpenRaw(port, pty));
    }
    void TearDown() override
    {
        StopSignals();
        sigaction(SIGUSR1, &previous_, nullptr);
    }
    // Signals keep coming until StopSignals; after the given number of them
    // have been taken, then is run once.
    void StartSignals(int before, std::function<void()> then)
    {
        const pthread_t reader = pthread_self();
        interrupter_ = std::thread([this, reader, before, then] {
            bool done = false;
            while (!stop_.load()) {
                pthread_kill(reader, SIGUSR1);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                if (!done && signalsTaken.load() >= before) {
                    then();
                    done = true;
                }
            }
        });
    }
    void StopSignals()
    {
        stop_ = true;
        if (interrupter_.joinable())
            interrupter_.join();
    }

    Pty pty;
    SerialDevice port;

private:
    struct sigaction previous_ {};
    std::atomic<bool> stop_{false};
    std::thread interrupter_;
};

TEST_F(InterruptedRead, WaitsOnForTheByte)
{
    ASSERT_EQ(port.SetTimeouts(ReadWait(10000)), 0u);
    StartSignals(5, [this] { pty.Send("\x55"); });
    uint8_t byte = 0;
    bool got = false;
    EXPECT_EQ(port.ReadByte(byte, got), 0u);
    StopSignals();
    EXPECT_TRUE(got) << "a signal ended the wait";
    EXPECT_EQ(byte, 0x55);
    EXPECT_GE(signalsTaken.load(), 5);
}

TEST_F(InterruptedRead, StillEndsAfterTheWait)
{
    ASSERT_EQ(port.SetTimeouts(ReadWait(200)), 0u);
    StartSignals(0, [] {});
    const auto start = std::chrono::steady_clock::now();
    uint8_t byte = 0;
    bool got = true;
    EXPECT_EQ(port.ReadByte(byte, got), 0u);
    const auto took = std::chrono::steady_clock::now() - start;
    StopSignals();
    EXPECT_FALSE(got);
    // Signals every 5 ms: a wait that started over at each would not end.
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_GT(signalsTaken.load(), 0);
}

}  // namespace
