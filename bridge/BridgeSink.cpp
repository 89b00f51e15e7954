#include "BridgeSink.h"

namespace vektacand {

void BridgeSink::TakeFrame(const SinkFrame &frame)
{
    received_.fetch_add(1, std::memory_order_relaxed);
    if (socket_)
        socket_->Take(frame);
    if (candump_)
        candump_->Take(frame);
}

// Changes of state are few (a handful per attempt), so a lock costs nothing
// that matters here.
void BridgeSink::StateChanged(int32_t state, uint32_t sysError, int32_t errorKind)
{
    std::lock_guard lock(mutex_);
    events_.push_back({state, sysError, errorKind});
}

std::vector<StateEvent> BridgeSink::TakeEvents()
{
    std::lock_guard lock(mutex_);
    std::vector<StateEvent> taken;
    taken.swap(events_);
    return taken;
}

}  // namespace vektacand
