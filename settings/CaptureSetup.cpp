#include "CaptureSetup.h"

#include "HexParse.h"
#include "SettingsFile.h"
#include "capture/AdapterProtocol.h"
#include "capture/Unit2.h"

namespace {

constexpr const char *kListNames[] = {"adapter kind", "sample point", "SJW", "group 1 identifier length",
                                      "group 2 identifier length"};
constexpr size_t kListSizes[] = {kAdapterKinds.size(), kSamplePoints.size(), kSjwSteps.size(), kIdentifierBits.size(),
                                 kIdentifierBits.size()};

bool IsExtended(const CaptureSetup &setup, size_t bitsIndex)
{
    return setup.indexes[bitsIndex] > 0;
}

std::optional<std::string> CopyFilters(const CaptureSetup &setup, TCaptureControl &control)
{
    // Bit 31 of a group's first address carries the group's identifier length.
    const struct {
        RelaxedAtomic<uint32_t> &field;
        std::optional<size_t> bitsIndex;
    } fields[] = {
        {control.radr11, SettingsIndex::kGroup1Bits},
        {control.radr12, std::nullopt},
        {control.rmsk1, std::nullopt},
        {control.radr21, SettingsIndex::kGroup2Bits},
        {control.radr22, std::nullopt},
        {control.radr23, std::nullopt},
        {control.radr24, std::nullopt},
        {control.rmsk2, std::nullopt},
    };
    for (size_t i = 0; i < setup.filters.size(); ++i) {
        auto value = ParseHex8(setup.filters[i]);
        if (!value)
            return NotHexText(setup.filters[i]);
        if (fields[i].bitsIndex && IsExtended(setup, *fields[i].bitsIndex))
            *value |= kExtendedFlag;
        fields[i].field = *value;
    }
    return std::nullopt;
}

// A position outside its list leaves the window's list without a text, and an
// empty text is no number.
template <size_t N>
std::optional<std::string> CopyListValue(const std::array<int32_t, N> &list, int32_t position,
                                         RelaxedAtomic<uint32_t> &field)
{
    if (position < 0 || size_t(position) >= N)
        return NotIntegerText("");
    field = static_cast<uint32_t>(list[size_t(position)]);
    return std::nullopt;
}

}  // namespace

void TakeStored(const StoredSettings &stored, CaptureSetup &setup)
{
    if (stored.port)
        setup.port = *stored.port;
    for (size_t i = 0; i < setup.indexes.size(); ++i)
        setup.indexes[i] = stored.indexes[i].value_or(setup.indexes[i]);
    setup.adapterLog = stored.checks[0].value_or(setup.adapterLog);
    setup.canLog = stored.checks[1].value_or(setup.canLog);
    setup.canBaud = stored.numbers[0].value_or(setup.canBaud);
    setup.rto = stored.numbers[1].value_or(setup.rto);
    for (size_t i = 0; i < setup.filters.size(); ++i)
        setup.filters[i] = stored.texts[i].value_or(setup.filters[i]);
}

std::optional<std::string> CheckListPositions(const CaptureSetup &setup)
{
    for (size_t i = 0; i < setup.indexes.size(); ++i)
        if (setup.indexes[i] < 0 || size_t(setup.indexes[i]) >= kListSizes[i])
            return "no " + std::string(kListNames[i]) + " for list position " + std::to_string(setup.indexes[i]);
    return std::nullopt;
}

std::optional<std::string> CopyToControl(const CaptureSetup &setup, TCaptureControl &control)
{
    StoreText(control.portName, setup.port);
    control.canBaud = static_cast<uint32_t>(setup.canBaud);
    if (auto failure = CopyFilters(setup, control))
        return failure;
    control.rto = static_cast<uint32_t>(setup.rto);
    if (auto failure = CopyListValue(kSamplePoints, setup.indexes[SettingsIndex::kSample], control.samp))
        return failure;
    if (auto failure = CopyListValue(kSjwSteps, setup.indexes[SettingsIndex::kSjw], control.sjw))
        return failure;
    control.adapterLog = setup.adapterLog;
    control.canLog = setup.canLog;
    control.hardware = static_cast<uint8_t>(setup.indexes[SettingsIndex::kAdapter]);
    return std::nullopt;
}
