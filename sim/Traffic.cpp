#include "Traffic.h"

namespace vektasim {

namespace {

class Limited : public TrafficSource {
public:
    Limited(std::unique_ptr<TrafficSource> source, uint64_t limit) : source_(std::move(source)), left_(limit) {}

    std::optional<Clock::time_point> NextDue() const override { return left_ > 0 ? source_->NextDue() : std::nullopt; }

    CanFrame Take() override
    {
        --left_;
        return source_->Take();
    }

    void Resume(Clock::time_point now) override { source_->Resume(now); }

private:
    std::unique_ptr<TrafficSource> source_;
    uint64_t left_;
};

}  // namespace

std::unique_ptr<TrafficSource> MakeLimited(std::unique_ptr<TrafficSource> source, uint64_t limit)
{
    return std::make_unique<Limited>(std::move(source), limit);
}

bool MakeTraffic(const Options &options, std::unique_ptr<TrafficSource> &source, std::string &error)
{
    switch (options.traffic) {
    case Traffic::None: source.reset(); return true;
    case Traffic::Generator: source = MakeGenerator(options.kind); break;
    case Traffic::Replay: {
        std::vector<CanFrame> frames;
        if (!LoadCandump(options.replayFile, frames, error))
            return false;
        source = MakeReplay(std::move(frames), options.replayFast, options.replayLoop);
        break;
    }
    case Traffic::Flood: source = MakeFlood(options.floodIds); break;
    }
    if (options.frameLimit > 0)
        source = MakeLimited(std::move(source), options.frameLimit);
    return true;
}

}  // namespace vektasim
