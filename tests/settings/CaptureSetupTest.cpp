// The set-up's copy into the shared record, which both the window's Start and
// the bridge make: the values that land in each field, and where a value that
// does not convert ends the copy.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <ostream>
#include <string>

#include "capture/AdapterProtocol.h"
#include "capture/Unit2.h"
#include "settings/CaptureSetup.h"
#include "settings/HexParse.h"
#include "settings/SettingsFile.h"
#include "tests/support/CaseNames.h"

namespace {

// A value no copy writes, to see which fields a failed copy left alone.
constexpr uint32_t kUntouched = 0xDEADBEEF;

std::array<RelaxedAtomic<uint32_t> *, 8> FilterFields(TCaptureControl &control)
{
    return {&control.radr11, &control.radr12, &control.rmsk1,  &control.radr21,
            &control.radr22, &control.radr23, &control.radr24, &control.rmsk2};
}

std::unique_ptr<TCaptureControl> UntouchedControl()
{
    auto control = std::make_unique<TCaptureControl>();
    for (RelaxedAtomic<uint32_t> *field : FilterFields(*control))
        *field = kUntouched;
    control->rto = kUntouched;
    control->samp = kUntouched;
    control->sjw = kUntouched;
    control->hardware = 0xEE;
    return control;
}

TEST(CaptureSetupTest, DesignedDefaultsLandInTheRecord)
{
    auto control = UntouchedControl();
    ASSERT_EQ(CheckListPositions(CaptureSetup{}), std::nullopt);
    ASSERT_EQ(CopyToControl(CaptureSetup{}, *control), std::nullopt);
    EXPECT_EQ(LoadText(control->portName), "COM1");
    EXPECT_EQ(control->canBaud, 500000u);
    EXPECT_EQ(control->rto, 1000u);
    EXPECT_EQ(control->samp, 80u);
    EXPECT_EQ(control->sjw, 15u);
    EXPECT_EQ(control->hardware, 0u);
    EXPECT_FALSE(control->adapterLog);
    EXPECT_FALSE(control->canLog);
    const std::array<uint32_t, 8> filters = {0x7E0, 0x7E8, 0xFFF, 0x7E1, 0x7E9, 0x7E2, 0x7EA, 0xFFF};
    for (size_t i = 0; i < filters.size(); ++i)
        EXPECT_EQ(*FilterFields(*control)[i], filters[i]) << "filter " << i;
}

struct WidthCase {
    const char *name;
    int32_t group1;
    int32_t group2;
    uint32_t radr11;
    uint32_t radr21;
};

class GroupWidthTest : public testing::TestWithParam<WidthCase> {};

// Only a group's first address carries its length, in bit 31.
TEST_P(GroupWidthTest, MarksTheGroupsFirstAddressOnly)
{
    CaptureSetup setup;
    setup.indexes[SettingsIndex::kGroup1Bits] = GetParam().group1;
    setup.indexes[SettingsIndex::kGroup2Bits] = GetParam().group2;
    setup.filters.fill("00000001");
    auto control = UntouchedControl();
    ASSERT_EQ(CopyToControl(setup, *control), std::nullopt);
    const auto fields = FilterFields(*control);
    for (size_t i = 0; i < fields.size(); ++i) {
        const uint32_t expected = i == 0 ? GetParam().radr11 : i == 3 ? GetParam().radr21 : 1u;
        EXPECT_EQ(*fields[i], expected) << "filter " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, GroupWidthTest,
                         testing::Values(WidthCase{"both_11", 0, 0, 1, 1},
                                         WidthCase{"group1_29", 1, 0, 1 | kExtendedFlag, 1},
                                         WidthCase{"group2_29", 0, 1, 1, 1 | kExtendedFlag},
                                         WidthCase{"both_29", 1, 1, 1 | kExtendedFlag, 1 | kExtendedFlag}),
                         testing_support::CaseName());

class BadFilterTest : public testing::TestWithParam<size_t> {};

// The window's Start leaves the fields before a bad address written and those
// from it on as they were.
TEST_P(BadFilterTest, EndsTheCopyAtTheBadAddress)
{
    const size_t bad = GetParam();
    CaptureSetup setup;
    setup.filters[bad] = "7E0G";
    auto control = UntouchedControl();
    EXPECT_EQ(CopyToControl(setup, *control), NotHexText("7E0G"));
    const auto fields = FilterFields(*control);
    for (size_t i = 0; i < fields.size(); ++i)
        EXPECT_EQ(*fields[i] == kUntouched, i >= bad) << "filter " << i;
    EXPECT_EQ(LoadText(control->portName), "COM1");
    EXPECT_EQ(control->rto, kUntouched);
    EXPECT_EQ(control->samp, kUntouched);
    EXPECT_EQ(control->hardware, 0xEE);
}

INSTANTIATE_TEST_SUITE_P(Positions, BadFilterTest, testing::Range(size_t{0}, size_t{8}));

struct PositionCase {
    const char *name;
    size_t list;
    int32_t position;
    const char *listMessage;
    const char *copyMessage;  // null: the copy goes through
};

void PrintTo(const PositionCase &c, std::ostream *out)
{
    *out << c.name;
}

class ListPositionTest : public testing::TestWithParam<PositionCase> {};

// The bridge refuses a position outside its list before copying; the window,
// whose list then shows no text, fails at that list's number.
TEST_P(ListPositionTest, PositionOutsideItsList)
{
    CaptureSetup setup;
    setup.indexes[GetParam().list] = GetParam().position;
    EXPECT_EQ(CheckListPositions(setup), GetParam().listMessage);
    auto control = UntouchedControl();
    const auto copied = CopyToControl(setup, *control);
    if (GetParam().copyMessage)
        EXPECT_EQ(copied, GetParam().copyMessage);
    else
        EXPECT_EQ(copied, std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Lists, ListPositionTest,
                         testing::Values(PositionCase{"sample_past_end", SettingsIndex::kSample, 6,
                                                      "no sample point for list position 6",
                                                      "'' is not a valid integer value"},
                                         PositionCase{"sjw_negative", SettingsIndex::kSjw, -1,
                                                      "no SJW for list position -1", "'' is not a valid integer value"},
                                         PositionCase{"adapter_past_end", SettingsIndex::kAdapter, 2,
                                                      "no adapter kind for list position 2", nullptr},
                                         PositionCase{"group2_past_end", SettingsIndex::kGroup2Bits, 2,
                                                      "no group 2 identifier length for list position 2", nullptr}),
                         testing_support::CaseName());

TEST(CaptureSetupTest, StoredValuesReplaceOnlyWhatWasRead)
{
    StoredSettings stored;
    stored.port = "ttyUSB0";
    stored.indexes[SettingsIndex::kAdapter] = 1;
    stored.checks[1] = true;
    stored.numbers[1] = 250;
    stored.texts[7] = "1FFFFFFF";
    CaptureSetup setup;
    TakeStored(stored, setup);
    const CaptureSetup defaults;
    EXPECT_EQ(setup.port, "ttyUSB0");
    EXPECT_EQ(setup.indexes, (std::array<int32_t, 5>{1, 4, 2, 0, 0}));
    EXPECT_EQ(setup.adapterLog, defaults.adapterLog);
    EXPECT_TRUE(setup.canLog);
    EXPECT_EQ(setup.canBaud, defaults.canBaud);
    EXPECT_EQ(setup.rto, 250);
    EXPECT_EQ(setup.filters[6], defaults.filters[6]);
    EXPECT_EQ(setup.filters[7], "1FFFFFFF");
}

}  // namespace
