// Where streamed frames come from: generator, replay or flood.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Clock.h"
#include "Simulator.h"

namespace vektasim {

class TrafficSource {
public:
    virtual ~TrafficSource() = default;
    // When the next frame is due; nothing once the source has run dry.
    virtual std::optional<Clock::time_point> NextDue() const = 0;
    // The next frame; only after NextDue gave a time.
    virtual CanFrame Take() = 0;
    // Streaming (re)starts at now: the timing starts over from here.
    virtual void Resume(Clock::time_point now) = 0;
};

std::unique_ptr<TrafficSource> MakeGenerator(Kind kind);
std::unique_ptr<TrafficSource> MakeReplay(std::vector<CanFrame> frames, bool fast, bool loop);
std::unique_ptr<TrafficSource> MakeFlood(uint32_t distinctIds);
// Ends source after limit frames.
std::unique_ptr<TrafficSource> MakeLimited(std::unique_ptr<TrafficSource> source, uint64_t limit);

// The source the options ask for; none for Traffic::None. Answers false with
// a message when a replay file cannot be read.
bool MakeTraffic(const Options &options, std::unique_ptr<TrafficSource> &source, std::string &error);

}  // namespace vektasim
