// Taking in CAN traffic: read adapter messages, log the frames and fold them
// into the identifier table until the run is stopped or the link breaks.
#include <algorithm>

#include "AdapterEncoding.h"
#include "Clock.h"
#include "Unit2.h"
#include "capture/logstore/LogText.h"

namespace {

constexpr size_t kReceiveAreaBytes = 4096;
// An RTO of 0 still waits a millisecond per read rather than spinning, and a
// longer wait than this would keep Stop waiting; a "negative" RTO reads as a
// huge unsigned number and is cut here too.
constexpr uint32_t kMinFirstByteWaitMs = 1;
constexpr uint32_t kMaxFirstByteWaitMs = 10000;

}  // namespace

uint32_t FirstByteWait(uint32_t rtoMs)
{
    return std::clamp(rtoMs, kMinFirstByteWaitMs, kMaxFirstByteWaitMs);
}

bool TC1::RunRequested() const
{
    return (Control->flags.load() & (FlagWord::kRunRequested | FlagWord::kCutLog)) != 0;
}

void TC1::EmptyFrameTable()
{
    Control->frameCount.store(0, std::memory_order_release);
    frameIndex.Clear();
}

void TC1::LogCanFrame(uint32_t identifier, const uint8_t *data, uint8_t length)
{
    constexpr std::string_view kPrefix = "RxD(CAN): ";
    char line[64];
    char *at = std::copy(kPrefix.begin(), kPrefix.end(), line);
    at = WriteHex8(at, identifier);
    *at++ = ':';
    *at++ = ' ';
    at = WriteHexPairs(at, data, length);
    AddLogLine({line, static_cast<size_t>(at - line)});
}

void TC1::SetState(int32_t state)
{
    Control->state = state;
    if (Sink)
        Sink->StateChanged(state, Control->sysError, Control->errorKind);
}

void TC1::HandToSink(uint32_t identifier, const uint8_t *data, uint8_t length)
{
    SinkFrame frame;
    frame.id = frameExtended_ ? identifier | kExtendedFlag : identifier;
    frame.length = length;
    std::copy(data, data + length, frame.data);
    frame.timeUs = frameTimes_.Stamp(WallClockMicroseconds());
    Sink->TakeFrame(frame);
}

void TC1::ReceiveCan()
{
    SetState(CaptureState::kReceiving);
    uint8_t data[kReceiveAreaBytes];
    do {
        if ((Control->flags.load() & FlagWord::kCutLog) || LogWriteDue())
            SaveLog();
        if (port.ReadWillWait())
            FeedJournalBeforeWait();
        uint8_t length = 0;
        uint32_t identifier = 0;
        if (!ReadFrame(data, length, identifier, FirstByteWait(Control->rto)))
            break;
        if (Sink && frameRead_)
            HandToSink(identifier, data, length);
        if (length == 0)
            continue;
        if (Control->canLog)
            LogCanFrame(identifier, data, length);
        if (!FoldFrame(*Control, frameIndex, identifier, data, length))
            Control->framesNotTabled = Control->framesNotTabled + 1;
    } while (RunRequested());
}
