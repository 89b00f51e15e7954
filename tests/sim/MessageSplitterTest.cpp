// Splitting the client's bytes into messages.
#include <gtest/gtest.h>

#include <ostream>

#include "SimTestSupport.h"
#include "sim/MessageSplitter.h"
#include "tests/support/CaseNames.h"

namespace {

using simtest::Bytes;

struct SplitCase {
    const char *name;
    Bytes stream;
    std::vector<Bytes> messages;
    Bytes unfinished;
};

void PrintTo(const SplitCase &c, std::ostream *out)
{
    *out << c.name << ": " << simtest::HexText(c.stream);
}

class MessageSplitting : public ::testing::TestWithParam<SplitCase> {};

TEST_P(MessageSplitting, FollowsTheCountBytes)
{
    vektasim::MessageSplitter splitter;
    std::vector<Bytes> messages;
    vektasim::ReceivedMessage done;
    for (uint8_t byte : GetParam().stream)
        if (splitter.Add(byte, 833333, done)) {
            messages.push_back(done.bytes);
            EXPECT_EQ(done.lineRate, 833333u);
        }
    EXPECT_EQ(messages, GetParam().messages);
    vektasim::ReceivedMessage rest;
    EXPECT_EQ(splitter.TakeUnfinished(rest), !GetParam().unfinished.empty());
    EXPECT_EQ(rest.bytes, GetParam().unfinished);
    EXPECT_FALSE(splitter.TakeUnfinished(rest));
}

INSTANTIATE_TEST_SUITE_P(Streams, MessageSplitting,
                         ::testing::Values(SplitCase{"empty", {}, {}, {}},
                                           SplitCase{
                                               "two_bare", {0x5F, 0x00, 0x52, 0x00}, {{0x5F, 0x00}, {0x52, 0x00}}, {}},
                                           SplitCase{"payload", {0x57, 0x01, 0x03, 0x52}, {{0x57, 0x01, 0x03}}, {0x52}},
                                           SplitCase{"type_zero", {0x00, 0x00}, {{0x00, 0x00}}, {}},
                                           SplitCase{"count_only", {0x53, 0x20}, {}, {0x53, 0x20}}),
                         testing_support::CaseName());

TEST(MessageSplitter, KeepsTheRateOfTheFirstByte)
{
    vektasim::MessageSplitter splitter;
    vektasim::ReceivedMessage done;
    EXPECT_FALSE(splitter.Add(0x59, 2000000, done));
    EXPECT_FALSE(splitter.Add(0x01, 833333, done));
    EXPECT_TRUE(splitter.Add(0x00, 833333, done));
    EXPECT_EQ(done.lineRate, 2000000u);
}

}  // namespace
