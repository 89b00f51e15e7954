// Replays recorded frames at their recorded spacing, or as fast as possible.
#include <chrono>

#include "Traffic.h"

namespace vektasim {

namespace {

using std::chrono::microseconds;

// Between the last frame of a pass and the first of the next.
constexpr uint64_t kLoopGapUs = 1000;

class Replay : public TrafficSource {
public:
    Replay(std::vector<CanFrame> frames, bool fast, bool loop) : frames_(std::move(frames)), fast_(fast), loop_(loop)
    {
        Resume(Clock::now());
    }

    std::optional<Clock::time_point> NextDue() const override
    {
        if (next_ >= frames_.size())
            return std::nullopt;
        if (fast_)
            return Clock::time_point::min();
        return start_ + microseconds(PassOffsetUs());
    }

    CanFrame Take() override
    {
        const CanFrame frame = frames_[next_++];
        if (next_ == frames_.size() && loop_) {
            loopOffsetUs_ += frame.timeUs + kLoopGapUs;
            next_ = 0;
        }
        return frame;
    }

    void Resume(Clock::time_point now) override
    {
        if (next_ < frames_.size())
            start_ = now - microseconds(PassOffsetUs());
    }

private:
    // The next frame's time counted from the first frame of the first pass.
    uint64_t PassOffsetUs() const { return loopOffsetUs_ + frames_[next_].timeUs; }

    std::vector<CanFrame> frames_;
    bool fast_;
    bool loop_;
    size_t next_ = 0;
    uint64_t loopOffsetUs_ = 0;
    Clock::time_point start_;
};

}  // namespace

std::unique_ptr<TrafficSource> MakeReplay(std::vector<CanFrame> frames, bool fast, bool loop)
{
    return std::make_unique<Replay>(std::move(frames), fast, loop);
}

}  // namespace vektasim
