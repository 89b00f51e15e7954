// Bringing the adapter into listening mode: the command sequence with the
// bit timing and the filter block.
#include <string>

#include "AdapterEncoding.h"
#include "Unit2.h"

namespace {

constexpr uint32_t kTriloxSetupRate = 2000000;  // bit/s, for its 0x59 command only

constexpr uint8_t kCmdTriloxSetup = 0x59;
constexpr uint8_t kCmdReset = 0x5F;
constexpr uint8_t kCmdListen = 0x52;
constexpr uint8_t kCmdSpeed = 0x55;
constexpr uint8_t kCmdFilters = 0x53;
constexpr uint8_t kCmdMode = 0x57;
constexpr uint8_t kModeByte = 0x03;

constexpr int32_t kSpeedAcknowledged = 0;
constexpr int32_t kSpeedNotAcknowledged = 1;
constexpr int32_t kSpeedOutOfRange = 2;

}  // namespace

int32_t TC1::SetCanSpeed(uint32_t rate, uint32_t samplePercent, uint32_t sjwPercent)
{
    const auto speed = EncodeCanSpeed(rate, samplePercent, sjwPercent);
    if (!speed)
        return kSpeedOutOfRange;
    AddLogLine("SET: BAUD=" + std::to_string(rate) + "b/s SAMP=" + std::string(speed->sampleText) +
               " SJW=" + std::string(speed->sjwText));
    return SendCommand(kCmdSpeed, speed->bytes.size(), speed->bytes.data()) ? kSpeedAcknowledged
                                                                             : kSpeedNotAcknowledged;
}

bool TC1::InitAdapter()
{
    SetState(CaptureState::kInitialising);
    if (Control->adapterLog)
        AddLogLine("--- Start Init Adapter ---");
    // Commands whose answer is optional: a missing one is passed over.
    auto sendOptional = [this](uint8_t command, uint8_t length, const uint8_t *data) {
        SendCommand(command, length, data);
        Control->errorKind = ErrorKind::kNone;
    };
    if (Control->hardware != 0) {
        const uint8_t zeros[32] = {};
        SetPortSpeed(kTriloxSetupRate);
        sendOptional(kCmdTriloxSetup, sizeof zeros, zeros);
        SetPortSpeed(kAdapterLineRate);
    }
    sendOptional(kCmdReset, 0, nullptr);
    sendOptional(kCmdListen, 0, nullptr);
    SetCanSpeed(Control->canBaud, Control->samp, Control->sjw);
    if (!(Control->flags.load() & FlagWord::kRunRequested))
        return false;
    const auto filters = BuildFilterBlock({Control->radr11, Control->radr12, Control->rmsk1, Control->radr21,
                                           Control->radr22, Control->radr23, Control->radr24, Control->rmsk2});
    if (!SendCommand(kCmdFilters, filters.size(), filters.data()) || !SendCommand(kCmdListen, 0, nullptr))
        return false;
    const uint8_t mode = kModeByte;
    sendOptional(kCmdMode, 1, &mode);
    if (Control->adapterLog)
        AddLogLine("--- End Init Adapter ---");
    EmptyFrameTable();
    return true;
}
