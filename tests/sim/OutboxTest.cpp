// The output buffer: frames count once written whole, and messages not yet
// begun can be taken back without breaking the one under way.
#include <gtest/gtest.h>

#include <ostream>

#include "sim/Outbox.h"
#include "tests/support/CaseNames.h"

namespace {

using vektasim::CanFrame;
using vektasim::Kind;
using vektasim::Outbox;

CanFrame Frame(uint32_t id, uint8_t length)
{
    CanFrame f;
    f.id = id;
    f.length = length;
    return f;
}

std::vector<uint32_t> Ids(const std::vector<CanFrame> &frames)
{
    std::vector<uint32_t> ids;
    for (const auto &f : frames)
        ids.push_back(f.id);
    return ids;
}

class OutboxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        box.AddFrame(Frame(1, 2), Kind::Vekta);  // bytes 0..7
        const uint8_t answer[] = {0x52, 0x00};
        box.AddAnswer(answer, sizeof answer);    // bytes 8..9
        box.AddFrame(Frame(2, 0), Kind::Vekta);  // bytes 10..15
        box.AddFrame(Frame(3, 8), Kind::Vekta);  // bytes 16..29
    }

    Outbox box;
    std::vector<CanFrame> out;
};

struct WriteCase {
    const char *name;
    size_t written;
    std::vector<uint32_t> sent;
};

void PrintTo(const WriteCase &c, std::ostream *out)
{
    *out << c.name << ": " << c.written << " bytes written";
}

class OutboxWrites : public OutboxTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(OutboxWrites, CountFramesOnlyOnceWholeOnTheWire)
{
    box.Written(GetParam().written, out);
    EXPECT_EQ(Ids(out), GetParam().sent);
    EXPECT_EQ(box.Pending(), 30 - GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Amounts, OutboxWrites,
                         ::testing::Values(WriteCase{"Nothing", 0, {}}, WriteCase{"PartOfTheFirst", 7, {}},
                                           WriteCase{"TheFirst", 8, {1}}, WriteCase{"IntoTheSecond", 10, {1}},
                                           WriteCase{"TwoFrames", 16, {1, 2}}, WriteCase{"Everything", 30, {1, 2, 3}}),
                         testing_support::CaseName());

struct DropCase {
    const char *name;
    size_t written;
    size_t pendingAfter;  // the message under way stays whole, answers stay
    std::vector<uint32_t> dropped;
};

void PrintTo(const DropCase &c, std::ostream *out)
{
    *out << c.name << ": " << c.written << " bytes written, " << c.pendingAfter << " pending after";
}

class OutboxDrops : public OutboxTest, public ::testing::WithParamInterface<DropCase> {};

TEST_P(OutboxDrops, TakeBackOnlyWhatHasNotBegun)
{
    box.Written(GetParam().written, out);
    out.clear();
    box.DropUnstarted(out);
    EXPECT_EQ(Ids(out), GetParam().dropped);
    EXPECT_EQ(box.Pending(), GetParam().pendingAfter);
}

INSTANTIATE_TEST_SUITE_P(Amounts, OutboxDrops,
                         ::testing::Values(DropCase{"Nothing", 0, 2, {1, 2, 3}}, DropCase{"FirstBegun", 1, 9, {2, 3}},
                                           DropCase{"FirstWhole", 8, 2, {2, 3}}, DropCase{"AnswerBegun", 9, 1, {2, 3}},
                                           DropCase{"SecondBegun", 11, 5, {3}}, DropCase{"Everything", 30, 0, {}}),
                         testing_support::CaseName());

TEST(Outbox, AnswersMoveUpOverDroppedFramesAndNoise)
{
    Outbox box;
    const uint8_t noise[] = {0xEE, 0xEE};
    const uint8_t first[] = {0x5F, 0x00};
    const uint8_t second[] = {0x52, 0x00};
    box.AddFrame(Frame(1, 8), Kind::Vekta);
    box.AddAnswer(first, sizeof first);
    box.AddNoise(noise, sizeof noise);
    box.AddFrame(Frame(2, 8), Kind::Vekta);
    box.AddAnswer(second, sizeof second);
    std::vector<CanFrame> out;
    box.DropUnstarted(out);
    EXPECT_EQ(Ids(out), (std::vector<uint32_t>{1, 2}));
    ASSERT_EQ(box.Pending(), 4u);
    EXPECT_EQ(std::vector<uint8_t>(box.Data(), box.Data() + 4), (std::vector<uint8_t>{0x5F, 0x00, 0x52, 0x00}));
    out.clear();
    box.Written(4, out);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(box.Pending(), 0u);
}

TEST_F(OutboxTest, DropAllTakesBackAHalfWrittenFrameToo)
{
    box.Written(9, out);
    out.clear();
    box.DropAll(out);
    EXPECT_EQ(Ids(out), (std::vector<uint32_t>{2, 3}));
    EXPECT_EQ(box.Pending(), 0u);
    box.AddFrame(Frame(4, 1), Kind::Vekta);
    out.clear();
    box.Written(7, out);
    EXPECT_EQ(Ids(out), (std::vector<uint32_t>{4}));
}

TEST(Outbox, DataFollowsWritesAcrossCompaction)
{
    Outbox box;
    std::vector<CanFrame> sent;
    for (uint32_t i = 0; i < 20000; ++i)
        box.AddFrame(Frame(i % 0x800, 8), Kind::Vekta);
    box.Written(14 * 10000 + 3, sent);
    ASSERT_EQ(sent.size(), 10000u);
    const auto next = vektasim::EncodeFrameMessage(Frame(10000 % 0x800, 8), Kind::Vekta);
    EXPECT_TRUE(std::equal(next.begin() + 3, next.end(), box.Data()));
}

}  // namespace
