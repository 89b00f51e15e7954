#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "settings/HexParse.h"
#include "tests/support/CaseNames.h"

namespace {

struct HexCase {
    const char *name;
    std::string text;
    std::optional<uint32_t> value;
};

void PrintTo(const HexCase &c, std::ostream *out)
{
    *out << c.name << " '" << c.text << "'";
}

class ParseHex8Test : public testing::TestWithParam<HexCase> {};

TEST_P(ParseHex8Test, GivesTheValueOfTheLastEightCharacters)
{
    EXPECT_EQ(ParseHex8(GetParam().text), GetParam().value) << "text '" << GetParam().text << "'";
}

const std::string kCyrillic = "Ж";  // two bytes in UTF-8

std::string Repeat(const std::string &text, int times)
{
    std::string result;
    for (int i = 0; i < times; ++i)
        result += text;
    return result;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseHex8Test,
    testing::Values(HexCase{"Short", "7E0", 0x000007E0u}, HexCase{"Empty", "", 0u},
                    HexCase{"EightDigits", "00000FFF", 0x00000FFFu}, HexCase{"AllOnes", "FFFFFFFF", 0xFFFFFFFFu},
                    HexCase{"Bit31", "80000000", 0x80000000u}, HexCase{"LowerCase", "7e0", 0x000007E0u},
                    HexCase{"LowerLetters", "abcdef", 0x00ABCDEFu}, HexCase{"NotHexLast", "0000000G", std::nullopt},
                    HexCase{"NotHexInside", "7x0", std::nullopt}, HexCase{"LeadingBlank", " 7E0", std::nullopt},
                    HexCase{"Minus", "-1", std::nullopt}, HexCase{"NineDigits", "123456789", 0x23456789u},
                    HexCase{"TwelveDigits", "0123456789AB", 0x456789ABu},
                    HexCase{"StrayBeforeTheLastEight", "G00000001", 0x00000001u},
                    HexCase{"WordsBeforeTheLastEight", "mask 00000FFF", 0x00000FFFu},
                    HexCase{"StrayAmongTheLastEight", "000000001G", std::nullopt},
                    HexCase{"CyrillicBeforeTheLastEight", kCyrillic + "12345678", 0x12345678u},
                    HexCase{"CyrillicAmongTheLastEight", "1234567" + kCyrillic, std::nullopt},
                    HexCase{"CyrillicFirstOfTheLastEight", kCyrillic + "1234567", std::nullopt},
                    HexCase{"FourCyrillic", Repeat(kCyrillic, 4), std::nullopt},
                    // The 256th character and beyond are not part of the text.
                    HexCase{"Cut255", std::string(250, '0') + "12345" + "zz", 0x00012345u},
                    HexCase{"Cut255Characters", Repeat(kCyrillic, 200) + std::string(55, '1') + "zz", 0x11111111u}),
    testing_support::CaseName());

}  // namespace
