// Identifier coding of frame messages, for both widths and both kinds.
#include <gtest/gtest.h>

#include <ostream>

#include "SimTestSupport.h"
#include "tests/support/CaseNames.h"

namespace {

using simtest::Bytes;
using vektasim::CanFrame;
using vektasim::Kind;

struct EncodingCase {
    const char *name;
    uint32_t id;
    bool extended;
    Bytes data;
    Kind kind;
    Bytes wire;
};

void PrintTo(const EncodingCase &c, std::ostream *out)
{
    *out << c.name << ": ";
    vektasim::PrintTo(c.kind, out);
    *out << " sends " << simtest::HexText(c.wire);
}

class FrameEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(FrameEncoding, PutsTheIdentifierAndDataOnTheWire)
{
    const EncodingCase &c = GetParam();
    CanFrame frame;
    frame.id = c.id;
    frame.extended = c.extended;
    frame.length = static_cast<uint8_t>(c.data.size());
    std::copy(c.data.begin(), c.data.end(), frame.data);
    EXPECT_EQ(vektasim::EncodeFrameMessage(frame, c.kind), c.wire);
}

INSTANTIATE_TEST_SUITE_P(
    Identifiers, FrameEncoding,
    ::testing::Values(
        EncodingCase{"obd_answer",
                     0x7E8,
                     false,
                     {0x02, 0x01, 0x0C, 0, 0, 0, 0, 0},
                     Kind::Vekta,
                     {0x70, 0x0C, 0xFD, 0x00, 0x00, 0x00, 0x02, 0x01, 0x0C, 0, 0, 0, 0, 0}},
        EncodingCase{"low_bits_of_11", 0x7E1, false, {0xAA}, Kind::Vekta, {0x70, 0x05, 0xFC, 0x04, 0x00, 0x00, 0xAA}},
        EncodingCase{"highest_11", 0x7FF, false, {}, Kind::Vekta, {0x70, 0x04, 0xFF, 0x1C, 0x00, 0x00}},
        EncodingCase{"zero_no_data", 0x000, false, {}, Kind::Vekta, {0x70, 0x04, 0x00, 0x00, 0x00, 0x00}},
        EncodingCase{"11_on_trilox_unmarked",
                     0x100,
                     false,
                     {0x01, 0x02},
                     Kind::Trilox,
                     {0x70, 0x06, 0x20, 0x00, 0x00, 0x00, 0x01, 0x02}},
        EncodingCase{"29_trilox_marked",
                     0x12345678,
                     true,
                     {1, 2, 3, 4, 5, 6, 7, 8},
                     Kind::Trilox,
                     {0x70, 0x0C, 0x91, 0x54, 0x56, 0x78, 1, 2, 3, 4, 5, 6, 7, 8}},
        EncodingCase{
            "29_vekta_unmarked", 0x12345678, true, {0x11}, Kind::Vekta, {0x70, 0x05, 0x91, 0x14, 0x56, 0x78, 0x11}},
        EncodingCase{"diagnostic_29_trilox", 0x18DAF110, true, {}, Kind::Trilox, {0x70, 0x04, 0xC6, 0x5A, 0xF1, 0x10}},
        EncodingCase{"diagnostic_29_vekta", 0x18DAF110, true, {}, Kind::Vekta, {0x70, 0x04, 0xC6, 0x1A, 0xF1, 0x10}},
        EncodingCase{
            "highest_29_trilox", 0x1FFFFFFF, true, {0xFF}, Kind::Trilox, {0x70, 0x05, 0xFF, 0x5F, 0xFF, 0xFF, 0xFF}}),
    testing_support::CaseName());

TEST(FrameEncoding, LengthAboveEightIsCutToEight)
{
    CanFrame frame;
    frame.id = 0x123;
    frame.length = 15;
    const Bytes wire = vektasim::EncodeFrameMessage(frame, Kind::Vekta);
    ASSERT_EQ(wire.size(), 14u);
    EXPECT_EQ(wire[1], 12);
}

}  // namespace
