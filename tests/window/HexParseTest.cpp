#include <gtest/gtest.h>

#include "HexParse.h"

namespace {

struct HexCase {
    const char *text;
    std::optional<uint32_t> value;
};

class ParseHex8Test : public testing::TestWithParam<HexCase> {};

TEST_P(ParseHex8Test, GivesTheValueOfTheLastEightDigits)
{
    EXPECT_EQ(ParseHex8(GetParam().text), GetParam().value) << "text '" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseHex8Test, testing::Values(
    HexCase{"7E0", 0x000007E0u},
    HexCase{"", 0u},
    HexCase{"00000FFF", 0x00000FFFu},
    HexCase{"123456789", 0x23456789u},      // only the last eight count
    HexCase{"FFFFFFFF", 0xFFFFFFFFu},
    HexCase{"80000000", 0x80000000u},
    HexCase{"7e0", 0x000007E0u},            // lower case counts as upper case
    HexCase{"abcdef", 0x00ABCDEFu},
    HexCase{"0000000G", std::nullopt},
    HexCase{"7x0", std::nullopt},
    HexCase{" 7E0", std::nullopt},
    HexCase{"-1", std::nullopt},
    HexCase{"G00000001", std::nullopt}));   // a stray character anywhere is a typo

TEST(ParseHex8, ReadsAtMost255Characters)
{
    // The 256th character and beyond are not part of the text.
    EXPECT_EQ(ParseHex8(std::string(250, '0') + "12345" + "zz"), 0x00012345u);
}

}  // namespace
