#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "capture/AdapterEncoding.h"
#include "tests/support/CaseNames.h"

namespace {

struct SpeedCase {
    uint32_t rate, samp, sjw;
    std::array<uint8_t, 3> bytes;
    const char *sampleText;
    const char *sjwText;

    friend void PrintTo(const SpeedCase &c, std::ostream *os)
    {
        *os << c.rate << " b/s, sample " << c.samp << " %, SJW " << c.sjw << " %";
    }
};

class SpeedEncoding : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(SpeedEncoding, GivesBytesAndTexts)
{
    const SpeedCase &c = GetParam();
    const auto speed = EncodeCanSpeed(c.rate, c.samp, c.sjw);
    ASSERT_TRUE(speed.has_value());
    EXPECT_EQ(speed->bytes, c.bytes);
    EXPECT_EQ(speed->sampleText, c.sampleText);
    EXPECT_EQ(speed->sjwText, c.sjwText);
}

INSTANTIATE_TEST_SUITE_P(Rates, SpeedEncoding,
                         ::testing::Values(SpeedCase{500000, 80, 15, {0x81, 0xFE, 0x03}, "80%", "15%"},
                                           SpeedCase{1000000, 60, 5, {0x00, 0xFA, 0x07}, "60%", "5%"},
                                           SpeedCase{15625, 85, 20, {0xFF, 0xFF, 0x02}, "85%", "20%"},
                                           // rates that do not divide 1 MHz round to the next faster rate
                                           SpeedCase{400000, 80, 15, {0x81, 0xFE, 0x03}, "80%", "15%"},
                                           SpeedCase{800000, 80, 15, {0x80, 0xFE, 0x03}, "80%", "15%"},
                                           // clamping and rounding of the percentages
                                           SpeedCase{250000, 0, 0, {0x03, 0xFA, 0x07}, "60%", "5%"},
                                           SpeedCase{250000, 99, 100, {0xC3, 0xFF, 0x02}, "85%", "20%"},
                                           SpeedCase{250000, 77, 7, {0x03, 0xFD, 0x04}, "75%", "5%"},
                                           SpeedCase{250000, 63, 8, {0x43, 0xFB, 0x06}, "65%", "10%"},
                                           SpeedCase{250000, 62, 12, {0x43, 0xFA, 0x07}, "60%", "10%"},
                                           SpeedCase{250000, 68, 13, {0x83, 0xFC, 0x05}, "70%", "15%"},
                                           SpeedCase{125000, 82, 18, {0xC7, 0xFE, 0x03}, "80%", "20%"}),
                         testing_support::PrintedName());

TEST(SpeedEncodingRange, RefusesRatesOutsideTheAdapterRange)
{
    for (uint32_t rate : {0u, 15624u, 1000001u, 0xFFFFFFFFu})
        EXPECT_FALSE(EncodeCanSpeed(rate, 80, 15).has_value()) << rate;
    EXPECT_TRUE(EncodeCanSpeed(15625, 80, 15).has_value());
    EXPECT_TRUE(EncodeCanSpeed(1000000, 80, 15).has_value());
}

struct IdCase {
    uint32_t value;
    bool extended;
    IdField field;
    std::array<uint8_t, 4> bytes;

    friend void PrintTo(const IdCase &c, std::ostream *os)
    {
        *os << "0x" << std::hex << std::uppercase << c.value << (c.extended ? " 29-bit " : " 11-bit ")
            << (c.field == IdField::Mask ? "mask" : "address");
    }
};

class IdentifierEncoding : public ::testing::TestWithParam<IdCase> {};

TEST_P(IdentifierEncoding, GivesWireBytes)
{
    const IdCase &c = GetParam();
    EXPECT_EQ(EncodeIdentifier(c.value, c.extended, c.field), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Fields, IdentifierEncoding,
                         ::testing::Values(IdCase{0x7E0, false, IdField::Address, {0xFC, 0x00, 0x00, 0x00}},
                                           IdCase{0x7E1, false, IdField::Address, {0xFC, 0x04, 0x00, 0x00}},
                                           IdCase{0x7E8, false, IdField::Address, {0xFD, 0x00, 0x00, 0x00}},
                                           IdCase{0xFFF, false, IdField::Mask, {0xFF, 0x1C, 0x00, 0x00}},
                                           IdCase{0x800007E0, false, IdField::Address, {0xFC, 0x00, 0x00, 0x00}},
                                           IdCase{0x98DAF110, true, IdField::Address, {0xC6, 0x5A, 0xF1, 0x10}},
                                           IdCase{0x18DAF110, true, IdField::Mask, {0xC6, 0x1A, 0xF1, 0x10}},
                                           IdCase{0xFFFFFFFF, true, IdField::Mask, {0xFF, 0x1F, 0xFF, 0xFF}}),
                         testing_support::PrintedName());

TEST(IdentifierDecoding, ReversesTheEncodingForEveryWidth)
{
    for (uint32_t id : {0u, 1u, 0x7E8u, 0x7FFu})
        EXPECT_EQ(DecodeIdentifier(EncodeIdentifier(id, false, IdField::Address).data(), false), id);
    for (uint32_t id : {0u, 0x12345678u, 0x18DAF110u, 0x1FFFFFFFu})
        EXPECT_EQ(DecodeIdentifier(EncodeIdentifier(id, true, IdField::Address).data(), true), id);
    const uint8_t trilox[4] = {0x91, 0x54, 0x56, 0x78};  // 0x40 marks 29 bits and is no part of the id
    EXPECT_EQ(DecodeIdentifier(trilox, true), 0x12345678u);
}

TEST(FilterBlock, EncodesEachGroupInItsOwnWidth)
{
    FilterSettings f{0x7E0, 0x7E8, 0xFFF, 0x80000000u | 0x18DAF110, 0x18DAF111, 0x18DA00F1, 0x18DB33F1, 0x1FFFFFFF};
    const std::vector<uint8_t> expected = {
        0xFC, 0x00, 0x00, 0x00, 0xFD, 0x00, 0x00, 0x00,  // radr11, radr12: 11 bit
        0xC6, 0x5A, 0xF1, 0x10, 0xC6, 0x5A, 0xF1, 0x11,  // radr21, radr22: 29 bit
        0xC6, 0x5A, 0x00, 0xF1, 0xC6, 0x5B, 0x33, 0xF1,  // radr23, radr24
        0xFF, 0x1C, 0x00, 0x00, 0xFF, 0x1F, 0xFF, 0xFF,  // rmsk1 11 bit, rmsk2 29-bit mask
    };
    const auto block = BuildFilterBlock(f);
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.end()), expected);
}

}  // namespace
