// As many frames as the line takes, round-robin over a fixed set of identifiers.
#include "Traffic.h"

namespace vektasim {

namespace {

// Up to this many distinct identifiers fit in 11 bits.
constexpr uint32_t kStandardIdCount = 2048;
constexpr uint8_t kFloodLength = 8;

class Flood : public TrafficSource {
public:
    explicit Flood(uint32_t distinctIds) : ids_(distinctIds == 0 ? 1 : distinctIds) {}

    std::optional<Clock::time_point> NextDue() const override { return Clock::time_point::min(); }

    CanFrame Take() override
    {
        CanFrame frame;
        frame.id = static_cast<uint32_t>(taken_ % ids_);
        frame.extended = ids_ > kStandardIdCount;
        frame.length = kFloodLength;
        // The pass number in the data, so that every frame of an identifier differs.
        const uint64_t pass = taken_ / ids_;
        for (uint8_t k = 0; k < kFloodLength; ++k)
            frame.data[k] = static_cast<uint8_t>(pass >> (8 * (k % 4)));
        ++taken_;
        return frame;
    }

    void Resume(Clock::time_point) override {}

private:
    uint32_t ids_;
    uint64_t taken_ = 0;
};

}  // namespace

std::unique_ptr<TrafficSource> MakeFlood(uint32_t distinctIds)
{
    return std::make_unique<Flood>(distinctIds);
}

}  // namespace vektasim
