// Built-in traffic: a few periodic identifiers whose data bytes keep changing.
#include <algorithm>
#include <chrono>

#include "Traffic.h"

namespace vektasim {

namespace {

using std::chrono::milliseconds;

struct Periodic {
    uint32_t id;
    bool extended;
    uint8_t length;
    milliseconds period;
};

// About 260 frames/s of 11-bit identifiers, which either kind decodes by default.
constexpr Periodic kStandard[] = {
    {0x100, false, 8, milliseconds(10)},
    {0x200, false, 4, milliseconds(20)},
    {0x316, false, 8, milliseconds(10)},
    {0x7E8, false, 8, milliseconds(100)},
};
// TRILOX marks 29-bit frames itself, so it also gets some of those.
constexpr Periodic kExtended[] = {
    {0x0CF00400, true, 8, milliseconds(20)},
    {0x18FEF100, true, 8, milliseconds(100)},
};

constexpr uint8_t kObdAnswerBytes = 4;
constexpr uint8_t kObdCurrentData = 0x41;
constexpr uint8_t kObdEngineSpeed = 0x0C;
constexpr uint32_t kObdAnswerId = 0x7E8;

class Generator : public TrafficSource {
public:
    explicit Generator(Kind kind)
    {
        for (const Periodic &p : kStandard)
            slots_.push_back({p, {}, 0});
        if (kind == Kind::Trilox)
            for (const Periodic &p : kExtended)
                slots_.push_back({p, {}, 0});
        Resume(Clock::now());
    }

    std::optional<Clock::time_point> NextDue() const override { return slots_[Earliest()].due; }

    CanFrame Take() override
    {
        Slot &slot = slots_[Earliest()];
        CanFrame frame = Fill(slot);
        slot.due += slot.periodic.period;
        ++slot.counter;
        return frame;
    }

    void Resume(Clock::time_point now) override
    {
        for (Slot &slot : slots_)
            slot.due = now;
    }

private:
    struct Slot {
        Periodic periodic;
        Clock::time_point due;
        uint32_t counter;
    };

    size_t Earliest() const
    {
        const auto it =
            std::min_element(slots_.begin(), slots_.end(), [](const Slot &a, const Slot &b) { return a.due < b.due; });
        return static_cast<size_t>(it - slots_.begin());
    }

    static CanFrame Fill(const Slot &slot)
    {
        CanFrame frame;
        frame.id = slot.periodic.id;
        frame.extended = slot.periodic.extended;
        frame.length = slot.periodic.length;
        const uint32_t n = slot.counter;
        if (frame.id == kObdAnswerId) {
            // An engine speed answer whose value wanders.
            const uint32_t rpmQuarters = 3200 + (n * 37) % 4000;
            const uint8_t answer[] = {kObdAnswerBytes, kObdCurrentData, kObdEngineSpeed,
                                      static_cast<uint8_t>(rpmQuarters >> 8), static_cast<uint8_t>(rpmQuarters)};
            std::copy(std::begin(answer), std::end(answer), frame.data);
            return frame;
        }
        frame.data[0] = static_cast<uint8_t>(n);
        for (uint8_t k = 1; k < frame.length; ++k)
            frame.data[k] = static_cast<uint8_t>((n >> (k % 4)) * (k + 1) + frame.id);
        return frame;
    }

    std::vector<Slot> slots_;
};

}  // namespace

std::unique_ptr<TrafficSource> MakeGenerator(Kind kind)
{
    return std::make_unique<Generator>(kind);
}

}  // namespace vektasim
