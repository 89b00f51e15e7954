#include "AdapterEncoding.h"

#include <algorithm>

namespace {

constexpr uint32_t kQuantaClockHz = 1000000;  // 20 quanta of a 20 MHz clock per bit
constexpr uint32_t kMinSamplePercent = 60, kMaxSamplePercent = 85;
constexpr uint32_t kMinSjwPercent = 5, kMaxSjwPercent = 20;
constexpr uint32_t kPercentStep = 5;
constexpr uint8_t kSegmentBase = 0xFA;
constexpr uint8_t kPhaseBase = 7;

constexpr std::string_view kSampleTexts[] = {"60%", "65%", "70%", "75%", "80%", "85%"};
constexpr std::string_view kSjwTexts[] = {"5%", "10%", "15%", "20%"};

// The nearest step of 5 % above the lowest; halves cannot occur.
uint32_t NearestStep(uint32_t percent, uint32_t lowest)
{
    return (percent - lowest + kPercentStep / 2) / kPercentStep;
}

}  // namespace

std::optional<SpeedBytes> EncodeCanSpeed(uint32_t rate, uint32_t samplePercent, uint32_t sjwPercent)
{
    if (rate < kMinCanRate || rate > kMaxCanRate)
        return std::nullopt;
    const uint32_t sjwCode = NearestStep(std::clamp(sjwPercent, kMinSjwPercent, kMaxSjwPercent), kMinSjwPercent);
    const uint32_t prescaler = kQuantaClockHz / rate - 1;
    const uint32_t step =
        NearestStep(std::clamp(samplePercent, kMinSamplePercent, kMaxSamplePercent), kMinSamplePercent);
    SpeedBytes speed;
    speed.bytes = {static_cast<uint8_t>(prescaler + sjwCode * 64), static_cast<uint8_t>(kSegmentBase + step),
                   static_cast<uint8_t>(kPhaseBase - step)};
    speed.sampleText = kSampleTexts[step];
    speed.sjwText = kSjwTexts[sjwCode];
    return speed;
}

std::array<uint8_t, 4> EncodeIdentifier(uint32_t value, bool extended, IdField field)
{
    if (!extended)
        return {static_cast<uint8_t>(value >> 3), static_cast<uint8_t>((value & 7) << 2), 0, 0};
    const uint8_t mark = field == IdField::Address ? kExtendedFrameMark : 0;
    return {static_cast<uint8_t>(value >> 21), static_cast<uint8_t>(mark + ((value >> 16) & 0x1F)),
            static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
}

uint32_t DecodeIdentifier(const uint8_t *bytes, bool extended)
{
    if (!extended)
        return uint32_t{bytes[0]} * 8 + (bytes[1] >> 2);
    return uint32_t{bytes[0]} << 21 | uint32_t(bytes[1] & 0x1F) << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

std::array<uint8_t, 32> BuildFilterBlock(const FilterSettings &f)
{
    const bool group1 = (f.radr11 & kExtendedFlag) != 0;
    const bool group2 = (f.radr21 & kExtendedFlag) != 0;
    const struct {
        uint32_t value;
        bool extended;
        IdField field;
    } fields[] = {
        {f.radr11, group1, IdField::Address}, {f.radr12, group1, IdField::Address},
        {f.radr21, group2, IdField::Address}, {f.radr22, group2, IdField::Address},
        {f.radr23, group2, IdField::Address}, {f.radr24, group2, IdField::Address},
        {f.rmsk1, group1, IdField::Mask},     {f.rmsk2, group2, IdField::Mask},
    };
    std::array<uint8_t, 32> block{};
    auto out = block.begin();
    for (const auto &field : fields) {
        const auto bytes = EncodeIdentifier(field.value, field.extended, field.field);
        out = std::copy(bytes.begin(), bytes.end(), out);
    }
    return block;
}
