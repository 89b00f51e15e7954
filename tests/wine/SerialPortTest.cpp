// The serial device through Wine's COM port mapping, with the simulated
// adapter on the far end of the pseudo-terminal behind the port.
#include <gtest/gtest.h>
#include <windows.h>

#include "WineSupport.h"
#include "capture/SerialDevice.h"
#include "common/ErrorText.h"
#include "tests/support/CaptureSupport.h"

namespace {

using namespace testing_support;
using namespace wine_support;

constexpr uint32_t kByteWaitMs = 100;
constexpr uint32_t kWriteMsPerByte = 5;

class SerialPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        adapter = AdapterFromEnvironment("VEKTA");
        ASSERT_FALSE(adapter.port.empty()) << "VEKTAMON_TEST_VEKTA_PORT names no port";
        ASSERT_EQ(port.Open(adapter.port), 0u);
    }

    // Sends the reset command and reads its answer as it comes. It returns
    // once the adapter's record (written every 20 ms) holds the command too,
    // so that a later test counting what reaches the adapter starts after it.
    std::vector<uint8_t> ResetAnswer()
    {
        const size_t recorded = ReadRecord(adapter.record).size();
        const uint8_t command[] = {0x5F, 0x00};
        size_t written = 0;
        EXPECT_EQ(port.Write(command, sizeof command, written), 0u);
        EXPECT_EQ(written, sizeof command);
        std::vector<uint8_t> answer;
        EXPECT_TRUE(WaitFor([&] {
            uint8_t byte = 0;
            bool got = false;
            EXPECT_EQ(port.ReadByte(byte, got), 0u);
            if (got)
                answer.push_back(byte);
            return answer.size() >= 2;
        }));
        EXPECT_TRUE(WaitFor([&] { return ReadRecord(adapter.record).size() > recorded; }));
        return answer;
    }

    SimulatedAdapter adapter;
    SerialDevice port;
};

TEST(SerialPortName, ThatNamesNoDeviceIsFileNotFound)
{
    SerialDevice port;
    EXPECT_EQ(port.Open(kMissingPort), uint32_t{ERROR_FILE_NOT_FOUND});
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialPort, IsNotSharedWithASecondOpen)
{
    SerialDevice second;
    const uint32_t code = second.Open(adapter.port);
    if (UnderWine() && code == 0) {
        NoteWineDifference("a second open of a COM port succeeds; Windows denies access");
        return;
    }
    EXPECT_EQ(code, PortBusyError());
    EXPECT_FALSE(second.IsOpen());
    port.Close();
    EXPECT_EQ(second.Open(adapter.port), 0u);
}

TEST_F(SerialPort, TakesTheAdapterLineSettings)
{
    ASSERT_EQ(port.Purge(), 0u);
    ASSERT_EQ(port.SetEventMask(0), 0u);
    LineConfig config;
    ASSERT_EQ(port.GetState(config), 0u);
    const uint32_t found = config.BaudRate;
    config.BaudRate = kAdapterRate;
    config.ByteSize = 8;
    config.Parity = 0;
    config.StopBits = 0;
    config.flagWord = 1;
    ASSERT_EQ(port.SetState(config), 0u);
    LineConfig readBack;
    const uint32_t code = port.GetState(readBack);
    // Left as found: on a real converter Wine cannot read 833333 back later.
    LineConfig before = config;
    before.BaudRate = found;
    EXPECT_EQ(port.SetState(before), 0u);
    if (UnderWine() && code == ERROR_INVALID_PARAMETER) {
        NoteWineDifference("GetCommState fails with error 87 after 833333 bit/s was set on a real converter");
        return;
    }
    ASSERT_EQ(code, 0u);
    if (UnderWine() && readBack.BaudRate == kWineFallbackRate)
        NoteWineDifference("a pseudo-terminal reads back 38400 bit/s after 833333 was set");
    else
        EXPECT_EQ(readBack.BaudRate, kAdapterRate);
    EXPECT_EQ(readBack.ByteSize, 8);
    EXPECT_EQ(readBack.Parity, 0);
    EXPECT_EQ(readBack.StopBits, 0);
    // Binary mode on, every other flag off; Wine cannot read the handshake
    // of a pseudo-terminal and reports DTR and RTS control as enabled.
    constexpr uint32_t kBinary = 1;
    constexpr uint32_t kWineDtrRtsEnabled = kBinary | 1u << 4 | 1u << 12;
    if (UnderWine() && readBack.flagWord == kWineDtrRtsEnabled)
        NoteWineDifference("a pseudo-terminal reads back DTR and RTS control as enabled after they were disabled");
    else
        EXPECT_EQ(readBack.flagWord, kBinary);
}

TEST_F(SerialPort, DrivesTheModemLinesOrWineSaysItCannot)
{
    for (const ModemLine line : {ModemLine::SetRts, ModemLine::SetDtr, ModemLine::ClearDtr}) {
        const uint32_t code = port.Escape(line);
        if (UnderWine() && code == ERROR_NOT_SUPPORTED) {
            NoteWineDifference("EscapeCommFunction on a pseudo-terminal fails with ERROR_NOT_SUPPORTED");
        } else {
            EXPECT_EQ(code, 0u);
        }
    }
}

TEST_F(SerialPort, CommandGoesOutWholeAndItsAnswerComesBackByteByByte)
{
    ASSERT_EQ(port.SetTimeouts({kMaxDword, kMaxDword, kByteWaitMs, kWriteMsPerByte, 0}), 0u);
    EXPECT_EQ(ResetAnswer(), (std::vector<uint8_t>{0x5F, 0x00}));
    EXPECT_EQ(ReadRecord(adapter.record).back().bytes, (std::vector<uint8_t>{0x5F, 0x00}));
    // Nothing more is waiting: the read ends empty after its wait.
    uint8_t byte = 0;
    bool got = true;
    EXPECT_EQ(port.ReadByte(byte, got), 0u);
    EXPECT_FALSE(got);
}

// With no read time-outs the driver would wait for ever, as some do for a
// pulled converter: the read is cancelled past its bound, ends empty, and
// the port goes on working.
TEST_F(SerialPort, ReadTheDriverWouldNeverEndIsCancelled)
{
    ASSERT_EQ(port.SetTimeouts({0, 0, 0, kWriteMsPerByte, 0}), 0u);
    uint8_t byte = 0;
    bool got = true;
    EXPECT_EQ(port.ReadByte(byte, got), 0u);
    EXPECT_FALSE(got);
    ASSERT_EQ(port.SetTimeouts({kMaxDword, kMaxDword, kByteWaitMs, kWriteMsPerByte, 0}), 0u);
    EXPECT_EQ(ResetAnswer(), (std::vector<uint8_t>{0x5F, 0x00}));
}

}  // namespace
