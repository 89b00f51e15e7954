// What callers and the serving thread share: received messages, frames to
// send and sent, the fault, counters. Every member is safe from both sides.
#pragma once

#include <atomic>
#include <bitset>
#include <deque>
#include <mutex>
#include <vector>

#include "Simulator.h"

namespace vektasim {

class SharedState {
public:
    // Serving side.
    // A message the serving thread has acted upon.
    void AddReceived(ReceivedMessage message);
    void FramesWritten(const std::vector<CanFrame> &frames);
    // Moves up to most queued frames to the end of into.
    void TakeQueued(std::vector<CanFrame> &into, size_t most);
    // Puts frames taken back before every queued one, in their order.
    void Requeue(const std::vector<CanFrame> &frames);
    bool Ignores(uint8_t code) const;
    Fault CurrentFault() const { return fault_.load(); }
    // Answers true once for each CutShort set, and clears it.
    bool TakeCutShort();
    void SetStreaming(bool on) { streaming_.store(on); }
    // Answers true once for each power cut asked for.
    bool TakePowerCut() { return powerCut_.exchange(false); }
    void PowerCutDone() { powerCutsDone_.fetch_add(1); }

    // Caller side.
    std::vector<ReceivedMessage> Received() const;
    std::vector<uint8_t> ReceivedBytes() const;
    void ClearReceived();
    bool Streaming() const { return streaming_.load(); }
    uint64_t FramesSent() const { return framesSent_.load(); }
    std::vector<CanFrame> SentFrames() const;
    void SetRecordFrames(bool on);
    void Queue(const std::vector<CanFrame> &frames);
    void SetFault(Fault fault) { fault_.store(fault); }
    void CutPower() { powerCut_.store(true); }
    uint64_t PowerCutsDone() const { return powerCutsDone_.load(); }
    void SetIgnored(const std::vector<uint8_t> &codes);

private:
    mutable std::mutex mutex_;
    std::vector<ReceivedMessage> received_;
    std::deque<CanFrame> queue_;
    std::vector<CanFrame> sent_;
    std::bitset<256> ignored_;
    std::atomic<bool> recordFrames_{false};
    std::atomic<Fault> fault_{Fault::None};
    std::atomic<bool> streaming_{false};
    std::atomic<bool> powerCut_{false};
    std::atomic<uint64_t> powerCutsDone_{0};
    std::atomic<uint64_t> framesSent_{0};
};

}  // namespace vektasim
