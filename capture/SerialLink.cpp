// The byte-level link to the adapter: open and configure the port, send a
// command and await its answer, read one message.
#include <chrono>
#include <cstring>
#include <string>

#include "AdapterEncoding.h"
#include "Clock.h"
#include "Unit2.h"
#include "common/ErrorText.h"

namespace {

constexpr uint32_t kByteWaitMs = 100;  // longest gap between bytes of one message
constexpr uint32_t kWriteMsPerByte = 5;
constexpr auto kDtrPulse = std::chrono::milliseconds(100);
constexpr int kReplyAttempts = 6;
constexpr size_t kMessageBytes = 4096;

}  // namespace

bool TC1::ConfigurePort()
{
    auto failed = [this](uint32_t code) {
        Control->sysError = code;
        return code != 0;
    };
    if (failed(port.Purge()) || failed(port.SetEventMask(0)) || failed(port.GetState(lineConfig)))
        return false;
    lineConfig.BaudRate = kAdapterLineRate;
    lineConfig.ByteSize = 8;
    lineConfig.Parity = 0;
    lineConfig.StopBits = 0;
    lineConfig.flagWord = 1;
    if (failed(port.SetState(lineConfig)))
        return false;
    if (Control->hardware == 0) {
        if (failed(port.Escape(ModemLine::SetRts)) || failed(port.Escape(ModemLine::SetDtr)))
            return false;
        SleepFor(kDtrPulse);
        if (failed(port.Escape(ModemLine::ClearDtr)))
            return false;
    }
    portTimeouts = {kMaxDword, kMaxDword, kByteWaitMs, kWriteMsPerByte, 0};
    return !failed(port.SetTimeouts(portTimeouts)) && !failed(port.GetState(lineConfig));
}

void TC1::OpenPort()
{
    SetState(CaptureState::kOpening);
    const std::string name = LoadText(Control->portName);
    Control->sysError = port.Open(name);
    if (Control->sysError != 0 || !ConfigurePort())
        return;
    AddLogLine("Open " + PortSettingsText());
    AddLogLine(SettingsLine());
}

void TC1::ClosePort()
{
    port.Close();
    AddLogLine("Close " + LoadText(Control->portName));
    SetState(CaptureState::kIdle);
}

// A refused rate is logged with the driver's reason but stops nothing:
// whether the adapter answers shows in the commands sent next, and the rate
// is stored for the log all the same.
void TC1::SetPortSpeed(uint32_t speed)
{
    const uint32_t readCode = port.GetState(lineConfig);
    lineConfig.BaudRate = speed;
    const uint32_t setCode = port.SetState(lineConfig);
    if (const uint32_t code = readCode != 0 ? readCode : setCode)
        AddLogLine("Baud=" + std::to_string(speed) + ": " + SystemErrorText(code));
}

bool TC1::SendCommand(uint8_t command, uint8_t length, const uint8_t *data)
{
    uint8_t message[kMessageBytes] = {command, length};
    if (length > 0)
        std::memcpy(message + 2, data, length);
    const size_t size = size_t{length} + 2;
    if (Control->adapterLog)
        AddLogLine("TxD: " + HexDump(message, 1, static_cast<int>(size)));
    size_t written = 0;
    if (const uint32_t code = port.Write(message, size, written)) {
        Control->sysError = code;
        return false;
    }
    if (written < size) {
        Control->errorKind = ErrorKind::kTxD;
        return false;
    }
    uint8_t reply[kMessageBytes];
    lineFailed_ = false;
    for (int attempt = 0; attempt < kReplyAttempts; ++attempt) {
        uint16_t replyLength = 0;
        ReadReply(reply, replyLength);
        if (replyLength >= 2 && reply[0] == command)
            return true;
        // A failed read is the port's failure, a pulled converter: its reason
        // stands, and no answer can come any more.
        if (lineFailed_)
            return false;
    }
    Control->errorKind = ErrorKind::kTxD;
    return false;
}

// A port that refuses its time-outs is gone (a removed converter on
// Windows): its reason stands for the attempt's log.
bool TC1::ApplyReadWait(uint32_t waitMs)
{
    portTimeouts.ReadTotalTimeoutConstant = waitMs;
    if (const uint32_t code = port.SetTimeouts(portTimeouts)) {
        Control->sysError = code;
        lineFailed_ = true;
        return false;
    }
    return true;
}

// One byte within the wait in force. A failing read is a broken link (an
// unplugged adapter), not silence, and is reported the same wherever in a
// message, or between messages, it comes; a time-out leaves no reason.
bool TC1::ReadLineByte(uint8_t &byte)
{
    bool got = false;
    if (const uint32_t code = port.ReadByte(byte, got)) {
        Control->sysError = code;
        lineFailed_ = true;
        return false;
    }
    return got;
}

bool TC1::ReadReply(uint8_t *buffer, uint16_t &length)
{
    length = 0;
    if (port.ReadWillWait())
        FeedJournalBeforeWait();
    if (!ApplyReadWait(kByteWaitMs) || !ReadLineByte(buffer[0]) || !ReadLineByte(buffer[1]))
        return false;
    for (int i = 0; i < buffer[1]; ++i)
        if (!ReadLineByte(buffer[2 + i]))
            return false;
    // Type 0 is no message the adapter sends: zero bytes are what a line in
    // break or a resetting adapter reads as, so it counts as empty ("No Data").
    length = buffer[0] == 0 ? 0 : buffer[1] + 2;
    if (Control->adapterLog)
        AddLogLine("RxD: " + HexDump(buffer, 1, length));
    return true;
}

bool TC1::ReadFrame(uint8_t *data, uint8_t &length, uint32_t &identifier, uint32_t firstByteWaitMs)
{
    length = 0;
    identifier = 0;
    frameRead_ = false;
    uint8_t header[2];
    lineFailed_ = false;
    if (!ApplyReadWait(firstByteWaitMs))
        return false;
    if (!ReadLineByte(header[0]))
        return !lineFailed_;  // nothing within the wait: a quiet bus
    if (!ApplyReadWait(kByteWaitMs) || !ReadLineByte(header[1]))
        return false;
    const uint8_t count = header[1];
    uint8_t payload[255];
    for (int i = 0; i < count; ++i)
        if (!ReadLineByte(payload[i]))
            return false;
    if (Control->adapterLog)
        AddLogLine("RxD: " + HexDump(header, 1, 2) + HexDump(payload, 1, count));
    // A frame message carries 4 identifier bytes and 0 to 8 data bytes; any
    // other count is not a frame the table could hold.
    if (header[0] != kFrameMessage || count < kIdentifierBytes || count > kIdentifierBytes + kMaxDataLength)
        return true;
    frameExtended_ =
        Control->hardware == 0 ? (Control->radr11 & kExtendedFlag) != 0 : (payload[1] & kExtendedFrameMark) != 0;
    identifier = DecodeIdentifier(payload, frameExtended_);
    frameRead_ = true;
    length = count - kIdentifierBytes;
    std::memcpy(data, payload + kIdentifierBytes, length);
    return true;
}
