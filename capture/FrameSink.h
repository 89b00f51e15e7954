// Where received frames go besides the identifier table: an optional listener
// the capture thread calls for every frame and every change of state.
#pragma once

#include <cstdint>

struct SinkFrame {
    uint32_t id = 0;  // with kExtendedFlag set for a 29-bit identifier
    uint8_t length = 0;
    uint8_t data[8] = {};
    uint64_t timeUs = 0;  // wall clock at reception, never going back within a run
};

// Both calls come on the capture thread and must return at once: whatever
// cannot be handed on without waiting is the sink's to drop and count.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void TakeFrame(const SinkFrame &frame) = 0;
    // state as CaptureControl shows it; sysError and errorKind of the attempt.
    virtual void StateChanged(int32_t state, uint32_t sysError, int32_t errorKind) = 0;
};
