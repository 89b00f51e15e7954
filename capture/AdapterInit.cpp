// Bringing the adapter into listening mode: the command sequence with the
// bit timing and the filter block.
#include <string>

#include "AdapterEncoding.h"
#include "Unit2.h"

namespace {

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
    // TRILOX must get its set-up command at 2000000 bit/s before it listens
    // at the fixed line rate; the command's 32-byte block is all zeros.
    if (Control->hardware != 0) {
        const uint8_t zeros[kTriloxSetupBytes] = {};
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
