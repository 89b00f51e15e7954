// The capture's frame sink in vektacand: hands every frame to the outputs
// given and keeps the changes of state for the main thread to report.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "CanSocketOutput.h"
#include "CandumpOutput.h"
#include "capture/FrameSink.h"

namespace vektacand {

struct StateEvent {
    int32_t state = 0;
    uint32_t sysError = 0;
    int32_t errorKind = 0;
};

class BridgeSink final : public FrameSink {
public:
    // Either output may be missing.
    BridgeSink(CanSocketOutput *socket, CandumpOutput *candump) : socket_(socket), candump_(candump) {}

    void TakeFrame(const SinkFrame &frame) override;
    void StateChanged(int32_t state, uint32_t sysError, int32_t errorKind) override;

    // The changes since the last call, in order.
    std::vector<StateEvent> TakeEvents();
    uint64_t received() const { return received_.load(); }

private:
    CanSocketOutput *const socket_;
    CandumpOutput *const candump_;
    std::atomic<uint64_t> received_{0};
    std::mutex mutex_;
    std::vector<StateEvent> events_;  // guarded by mutex_
};

}  // namespace vektacand
