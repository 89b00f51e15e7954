// Capture logs of one run into candump -l lines: times from the names and
// stamps, "Continue" stretches, and the identifier widths.
#include <gtest/gtest.h>

#include "LogFixtures.h"
#include "vektalog/Candump.h"

namespace {

using namespace vektalog_test;

// 081226_043012.log is 8 December 2026, 04:30:12 at UTC+3: 1796693412 s.
struct ConvertCase {
    std::string name;
    std::vector<LogFileText> files;
    std::string expected;
    std::string iface = "can0";
};

const std::string kName14 = "081226_043014.log";

const ConvertCase kConvertCases[] = {
    {"AdapterLogOffWidthByValue",
     {{kName12, Lines({kOpen, kSettings11, "0000000020: RxD(CAN): 000007E8: 06 41 00 BE 3F A8 13 00 ",
                       "0000000021: RxD(CAN): 18DAF110: 02 01 0D ", "0000000022: RxD(CAN): 00000123: 01 ",
                       "0000000030: Close COM1"})}},
     "(1796693411.990000) can0 7E8#064100BE3FA81300\n"
     "(1796693411.991000) can0 18DAF110#02010D\n"
     "(1796693411.992000) can0 123#01\n"},
    {"VektaGroup1Extended",
     {{kName12,
       Lines({kOpen, kSettings29, kInitStart, kVektaFirst, kInitEnd, "0000000010: RxD: 70 05 00 00 01 23 01 ",
              "0000000010: RxD(CAN): 00000123: 01 ", "0000000011: RxD: 70 0C C6 1A F1 10 02 01 0D 00 00 00 00 00 ",
              "0000000011: RxD(CAN): 18DAF110: 02 01 0D 00 00 00 00 00 ", "0000000040: Close COM1"})}},
     "(1796693411.970000) can0 00000123#01\n"
     "(1796693411.971000) can0 18DAF110#02010D0000000000\n"},
    {"VektaGroup1Standard",
     {{kName12, Lines({kOpen, kSettings11, kInitStart, kVektaFirst, kInitEnd,
                       "0000000100: RxD: 70 0B FD 00 00 00 06 41 00 BE 3F A8 13 ",
                       "0000000100: RxD(CAN): 000007E8: 06 41 00 BE 3F A8 13 ", "0000000200: Close COM1"})}},
     "(1796693411.900000) can0 7E8#064100BE3FA813\n"},
    {"TriloxMarks",
     {{kName12,
       Lines({kOpen, kSettings11, kInitStart, kTriloxFirst, "0000000002: RxD: 59 00 ", "0000000002: TxD: 5F 00 ",
              "0000000002: RxD: 5F 00 ", kInitEnd, "0000000010: RxD: 70 0C 91 54 56 78 01 02 03 04 05 06 07 08 ",
              "0000000010: RxD(CAN): 12345678: 01 02 03 04 05 06 07 08 ", "0000000011: RxD: 70 05 00 40 01 23 AA ",
              "0000000011: RxD(CAN): 00000123: AA ", "0000000012: RxD: 70 05 FD 00 00 00 BB ",
              "0000000012: RxD(CAN): 000007E8: BB ", "0000000020: Close COM1"})}},
     "(1796693411.990000) can0 12345678#0102030405060708\n"
     "(1796693411.991000) can0 00000123#AA\n"
     "(1796693411.992000) can0 7E8#BB\n"},
    // Each "Continue" stretch starts at the second the file before it names.
    {"ContinueStartsAtNameBefore",
     {{kName12, Lines({kOpen, kSettings11, "0000000500: RxD(CAN): 000007E8: 01 ", "0000000900: Close COM1"})},
      {kName13, Lines({kContinue, kSettings11, "0000000004: RxD(CAN): 000007E8: 02 ", "0000000010: Close COM1"})},
      {kName14, Lines({kContinue, kSettings11, "0000000002: RxD(CAN): 000007E8: 03 "})}},
     "(1796693411.600000) can0 7E8#01\n"
     "(1796693412.004000) can0 7E8#02\n"
     "(1796693413.002000) can0 7E8#03\n"},
    // ...unless the stretch before it ends later than that second.
    {"ContinueStartsAfterLongerStretch",
     {{kName12, Lines({kOpen, kSettings11, "0000000500: RxD(CAN): 000007E8: 01 ", "0000000900: Close COM1"})},
      {kName13,
       Lines({kContinue, kSettings11, "0000000004: RxD(CAN): 000007E8: 02 ", "0000001500: RxD(CAN): 000007E8: 03 "})},
      {kName14, Lines({kContinue, kSettings11, "0000000002: RxD(CAN): 000007E8: 04 "})}},
     "(1796693411.600000) can0 7E8#01\n"
     "(1796693412.004000) can0 7E8#02\n"
     "(1796693413.500000) can0 7E8#03\n"
     "(1796693413.502000) can0 7E8#04\n"},
    // Two cuts within one second append to the same file.
    {"SecondStretchInSameFile",
     {{kName12, Lines({kOpen, kSettings11, "0000000300: RxD(CAN): 000007E8: 01 ", kContinue, kSettings11,
                       "0000000200: RxD(CAN): 000007E8: 02 "})},
      {kName13, Lines({kContinue, kSettings11, "0000000001: RxD(CAN): 000007E8: 03 "})}},
     "(1796693412.000000) can0 7E8#01\n"
     "(1796693412.200000) can0 7E8#02\n"
     "(1796693412.201000) can0 7E8#03\n"},
    // Without the initialisation the adapter's kind is not known: the
    // decoding that gives the logged identifier decides, and where both do,
    // the value.
    {"ContinueFileFirstKindUnknown",
     {{kName13, Lines({kContinue, kSettings11, "0000000010: RxD: 70 05 00 00 01 23 01 ",
                       "0000000010: RxD(CAN): 00000123: 01 ", "0000000011: RxD: 70 05 27 00 00 00 02 ",
                       "0000000011: RxD(CAN): 00000138: 02 ", "0000000012: RxD: 70 05 00 40 00 10 03 ",
                       "0000000012: RxD(CAN): 00000010: 03 ", "0000000020: Close COM1"})}},
     "(1796693412.990000) can0 00000123#01\n"
     "(1796693412.991000) can0 138#02\n"
     "(1796693412.992000) can0 010#03\n"},
    // A write of the log may fall between an adapter message and its frame.
    {"AdapterMessageBeforeCut",
     {{kName12,
       Lines({kOpen, kSettings29, kInitStart, kVektaFirst, kInitEnd, "0000000050: RxD: 70 05 00 00 01 23 01 "})},
      {kName13, Lines({kContinue, kSettings29, "0000000000: RxD(CAN): 00000123: 01 ", "0000000005: Close COM1"})}},
     "(1796693412.000000) can0 00000123#01\n"},
    {"OtherLinesPassOver",
     {{kName12,
       Lines({kOpen, kSettings11, "0000000300: \xCE\xF8\xE8\xE1\xEA\xE0 TxD", "0000000300: Close COM1",
              "0000000600: Open COM1 Baud=833333(833333) RTO=1000",
              "0000000600: CAN11 CAN11 SPEED=500000b/s SAMP=80% SJW=15%", "0000000700: RxD(CAN): 000007E8: 01 ",
              "0000000800: Log file /tmp/081226_043011.log: No space left on device", "0000000900: Close COM1"})}},
     "(1796693411.800000) vcan1 7E8#01\n",
     "vcan1"},
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ConvertCase &c, std::ostream *out)
{
    *out << c.name;
}

class ConvertTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertTest, WritesCandumpLines)
{
    const ConvertCase &c = GetParam();
    const testing_support::TempDir dir;
    std::string output;
    const auto problem = vektalog::WriteCandump(WriteLogs(dir, c.files), c.iface, [&](std::string_view line) {
        output.append(line);
        return std::optional<vektalog::Problem>();
    });
    ASSERT_FALSE(problem) << problem->Message();
    EXPECT_EQ(output, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Logs, ConvertTest, ::testing::ValuesIn(kConvertCases),
                         [](const auto &info) { return info.param.name; });

}  // namespace
