// Serves one master side until told to stop: answers commands, streams
// frames once the client has initialised the adapter, records what arrives.
#pragma once

#include <atomic>
#include <optional>
#include <random>
#include <vector>

#include "Clock.h"
#include "MessageSplitter.h"
#include "Outbox.h"
#include "SharedState.h"
#include "Simulator.h"
#include "TokenBucket.h"
#include "Traffic.h"

namespace vektasim {

class WakeFd;

class Server {
public:
    // traffic may be null: then only queued frames are streamed.
    Server(const Options &options, SharedState &shared, TrafficSource *traffic, int masterFd, WakeFd &wake,
           const std::atomic<bool> &stop);

    // Returns when stop is set, or with a message when polling fails.
    bool Run(std::string &error);

private:
    bool Silenced() const { return shared_.CurrentFault() == Fault::Silence; }
    void WaitForClient();
    void Fill(Clock::time_point now);
    bool AddFrame(const CanFrame &frame);
    void AddGarbage();
    void ReadInput();
    void DropBrokenOff();
    void Take(const uint8_t *bytes, size_t size);
    void React(uint8_t code);
    void Answer(uint8_t code);
    bool WantsWrite(Clock::time_point now);
    void Write(Clock::time_point now);
    std::optional<Clock::time_point> WakeTime(Clock::time_point now);
    size_t PrefillLimit() const;
    size_t NextPacket() const;
    void SetStreaming(bool on);
    void StopStreaming();
    void ClientGone();
    void PowerCut();
    void FinishPowerCut();

    const Options &options_;
    SharedState &shared_;
    TrafficSource *traffic_;
    int master_;
    WakeFd &wake_;
    const std::atomic<bool> &stop_;
    MessageSplitter splitter_;
    Outbox outbox_;
    std::optional<TokenBucket> throttle_;
    std::minstd_rand noise_;
    bool streaming_ = false;
    bool clientAbsent_ = false;
    bool cutPending_ = false;                          // a power cut waits for the message under way
    std::optional<Clock::time_point> lineQuietSince_;  // when the client last paused
    std::vector<CanFrame> batch_;                      // queued frames being added
    std::vector<CanFrame> scratch_;                    // frames written or taken back
};

}  // namespace vektasim
