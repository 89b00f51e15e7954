#include "BenchFixture.h"

namespace bench_support {

namespace {

constexpr uint32_t kSilenceMs = 200;
constexpr uint32_t kWriteMsPerByte = 5;
constexpr int kMostBytesToDrain = 1 << 20;

void SendCommand(SerialDevice &port, const std::vector<uint8_t> &message)
{
    size_t written = 0;
    ASSERT_EQ(port.Write(message.data(), message.size(), written), 0u);
    ASSERT_EQ(written, message.size());
}

}  // namespace

BenchAdapter BenchTest::Adapter(const std::string &kind)
{
    const BenchAdapter adapter = AdapterFromEnvironment(kind);
    EXPECT_FALSE(adapter.usbPort.empty()) << "the bench names no " << kind << " adapter";
    device = ConverterDevice(adapter);
    EXPECT_FALSE(device.empty()) << "no serial device on USB port " << adapter.usbPort;
    QuietAdapter(device);
    PrepareCapture(adapter, device, dir);
    trace.Mark();
    return adapter;
}

void QuietAdapter(const std::string &device)
{
    SerialDevice port;
    ASSERT_EQ(port.Open(device), 0u);
    ASSERT_EQ(port.SetTimeouts({kMaxDword, kMaxDword, kSilenceMs, kWriteMsPerByte, 0}), 0u);
    SendCommand(port, {0x5F, 0x00});
    uint8_t byte = 0;
    bool got = true;
    for (int drained = 0; got && drained < kMostBytesToDrain; ++drained)
        ASSERT_EQ(port.ReadByte(byte, got), 0u);
    EXPECT_FALSE(got) << "the adapter does not fall silent";
}

void StartStream(const std::string &device)
{
    SerialDevice port;
    ASSERT_EQ(port.Open(device), 0u);
    ASSERT_EQ(port.SetTimeouts({kMaxDword, kMaxDword, kSilenceMs, kWriteMsPerByte, 0}), 0u);
    SendCommand(port, {0x57, 0x01, 0x03});
}

}  // namespace bench_support
