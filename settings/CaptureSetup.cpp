#include "Setup.h"

#include "capture/AdapterEncoding.h"
#include "capture/Unit2.h"
#include "window/HexParse.h"

namespace vektacand {

namespace {

constexpr const char *kListNames[] = {"adapter kind", "sample point", "SJW", "group 1 identifier length",
                                      "group 2 identifier length"};
constexpr size_t kListSizes[] = {kAdapterKinds.size(), kSamplePoints.size(), kSjwSteps.size(), kIdentifierBits.size(),
                                 kIdentifierBits.size()};
// Filters that carry their group's width in bit 31: RADR11 and RADR21.
constexpr size_t kGroup1First = 0;
constexpr size_t kGroup2First = 3;

struct Values {
    std::array<uint32_t, 8> filters{};
};

std::optional<std::string> CheckIndexes(const Setup &setup)
{
    for (size_t i = 0; i < setup.indexes.size(); ++i)
        if (setup.indexes[i] < 0 || size_t(setup.indexes[i]) >= kListSizes[i])
            return "no " + std::string(kListNames[i]) + " for list position " + std::to_string(setup.indexes[i]);
    return std::nullopt;
}

std::optional<std::string> ParseFilters(const Setup &setup, Values &values)
{
    for (size_t i = 0; i < setup.filters.size(); ++i) {
        const auto value = ParseHex8(setup.filters[i]);
        if (!value)
            return NotHexText(setup.filters[i]);
        values.filters[i] = *value;
    }
    if (setup.indexes[SettingsIndex::kGroup1Bits] > 0)
        values.filters[kGroup1First] |= kExtendedFlag;
    if (setup.indexes[SettingsIndex::kGroup2Bits] > 0)
        values.filters[kGroup2First] |= kExtendedFlag;
    return std::nullopt;
}

}  // namespace

void TakeStored(const StoredSettings &stored, Setup &setup)
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

std::optional<std::string> CopyToControl(const Setup &setup, TCaptureControl &control)
{
    if (auto failure = CheckIndexes(setup))
        return failure;
    Values values;
    if (auto failure = ParseFilters(setup, values))
        return failure;
    StoreText(control.portName, setup.port);
    control.hardware = static_cast<uint8_t>(setup.indexes[SettingsIndex::kAdapter]);
    control.canBaud = static_cast<uint32_t>(setup.canBaud);
    control.samp = static_cast<uint32_t>(kSamplePoints[size_t(setup.indexes[SettingsIndex::kSample])]);
    control.sjw = static_cast<uint32_t>(kSjwSteps[size_t(setup.indexes[SettingsIndex::kSjw])]);
    control.rto = static_cast<uint32_t>(setup.rto);
    RelaxedAtomic<uint32_t> *const fields[] = {&control.radr11, &control.radr12, &control.rmsk1,  &control.radr21,
                                               &control.radr22, &control.radr23, &control.radr24, &control.rmsk2};
    for (size_t i = 0; i < values.filters.size(); ++i)
        *fields[i] = values.filters[i];
    control.adapterLog = setup.adapterLog;
    control.canLog = setup.canLog;
    return std::nullopt;
}

}  // namespace vektacand
