#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "capture/Unit2.h"

namespace {

struct Table {
    std::unique_ptr<TCaptureControl> control = std::make_unique<TCaptureControl>();
    std::unique_ptr<FrameIndex> index = std::make_unique<FrameIndex>();

    bool Fold(uint32_t id, std::vector<uint8_t> data)
    {
        return FoldFrame(*control, *index, id, data.data(), static_cast<uint8_t>(data.size()));
    }
    const FrameEntry &Row(int i) const { return control->frames[i]; }
    uint16_t Count() const { return control->frameCount.load(); }
    void Empty()
    {
        control->frameCount = 0;
        index->Clear();
    }
};

std::array<uint8_t, 9> Marks(const FrameEntry &e)
{
    std::array<uint8_t, 9> marks{};
    for (int k = 0; k < 9; ++k)
        marks[k] = e.changed[k];
    return marks;
}

std::array<uint8_t, 8> Bytes(const RelaxedAtomic<uint8_t> (&bytes)[8])
{
    std::array<uint8_t, 8> out{};
    for (int k = 0; k < 8; ++k)
        out[k] = bytes[k];
    return out;
}

TEST(FrameTable, NewIdentifierMakesACleanRow)
{
    Table t;
    ASSERT_TRUE(t.Fold(0x7E8, {1, 2, 3, 4, 5, 6, 7}));
    ASSERT_EQ(t.Count(), 1);
    const FrameEntry &e = t.Row(0);
    EXPECT_EQ(e.id, 0x7E8u);
    EXPECT_EQ(e.count, 1u);
    EXPECT_EQ(e.length, 7);
    EXPECT_EQ(Bytes(e.data), (std::array<uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 0}));
    EXPECT_EQ(Marks(e), (std::array<uint8_t, 9>{}));
}

TEST(FrameTable, MarksExactlyTheChangedBytesAndKeepsThemOnRepeat)
{
    Table t;
    t.Fold(0x100, {1, 2, 3, 4, 5, 6, 7, 8});
    t.Fold(0x100, {1, 2, 9, 4, 5, 6, 7, 8});
    const FrameEntry &e = t.Row(0);
    EXPECT_EQ(e.count, 2u);
    EXPECT_EQ(Bytes(e.prevData), (std::array<uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Marks(e), (std::array<uint8_t, 9>{0, 0, 1, 0, 0, 0, 0, 0, 0}));

    t.Fold(0x100, {1, 2, 9, 4, 5, 6, 7, 8});  // identical: marks stay
    EXPECT_EQ(e.count, 3u);
    EXPECT_EQ(Marks(e), (std::array<uint8_t, 9>{0, 0, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(e.prevData), (std::array<uint8_t, 8>{1, 2, 9, 4, 5, 6, 7, 8}));
}

TEST(FrameTable, ShorterFrameKeepsOldBytesBeyondItsLength)
{
    Table t;
    t.Fold(0x100, {1, 2, 3, 4});
    t.Fold(0x100, {1, 2});
    const FrameEntry &e = t.Row(0);
    EXPECT_EQ(e.length, 2);
    EXPECT_EQ(e.prevLength, 4);
    EXPECT_EQ(Bytes(e.data), (std::array<uint8_t, 8>{1, 2, 3, 4, 0, 0, 0, 0}));
    EXPECT_EQ(Marks(e), (std::array<uint8_t, 9>{0, 0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(FrameTable, KeepsOrderOfFirstArrivalAndEqualValuesShareARow)
{
    Table t;
    for (uint32_t id : {0x300u, 0x100u, 0x200u, 0x100u, 0x300u})
        t.Fold(id, {0});
    ASSERT_EQ(t.Count(), 3);
    EXPECT_EQ(t.Row(0).id, 0x300u);
    EXPECT_EQ(t.Row(1).id, 0x100u);
    EXPECT_EQ(t.Row(2).id, 0x200u);
    EXPECT_EQ(t.Row(0).count, 2u);
    EXPECT_EQ(t.Row(2).count, 1u);
}

TEST(FrameTable, FullTableRefusesNewIdentifiersButCountsKnownOnes)
{
    Table t;
    for (uint32_t id = 0; id < kFrameTableSize; ++id)
        ASSERT_TRUE(t.Fold(id * 7919, {1}));
    EXPECT_EQ(t.Count(), kFrameTableSize);
    EXPECT_FALSE(t.Fold(0xFFFFFFF, {1}));
    EXPECT_EQ(t.Count(), kFrameTableSize);
    EXPECT_TRUE(t.Fold(4095 * 7919, {2}));
    EXPECT_EQ(t.Row(4095).count, 2u);
}

TEST(FrameTable, ReusedRowShowsNothingOfItsFormerOccupant)
{
    Table t;
    t.Fold(0x100, {1, 2, 3, 4, 5, 6, 7, 8});
    t.Fold(0x100, {9, 9, 9, 9, 9, 9, 9, 9});
    t.Empty();
    t.Fold(0x555, {7});
    const FrameEntry &e = t.Row(0);
    EXPECT_EQ(e.id, 0x555u);
    EXPECT_EQ(e.count, 1u);
    EXPECT_EQ(Bytes(e.data), (std::array<uint8_t, 8>{7, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(e.prevData), (std::array<uint8_t, 8>{}));
    EXPECT_EQ(e.prevLength, 0);
    EXPECT_EQ(Marks(e), (std::array<uint8_t, 9>{}));
    // The old identifier is no longer found after the table was emptied.
    t.Fold(0x100, {1});
    EXPECT_EQ(t.Count(), 2);
}

}  // namespace
