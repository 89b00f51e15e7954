// Input that is no capture log of one run: the message names file and line,
// and not one line of output is written, even after good frames.
#include <gtest/gtest.h>

#include "LogFixtures.h"
#include "vektalog/Candump.h"

namespace {

using namespace vektalog_test;

struct BadCase {
    std::string name;
    std::vector<LogFileText> files;
    size_t badFile;    // index into files
    size_t line;       // 0: the whole file
    std::string text;  // "{dir}" stands for the folder the files are in
};

const std::string kGoodFrame = "0000000005: RxD(CAN): 000007E8: 01 ";
const std::string kNotLogLine = "the line does not begin with ten digits of milliseconds and \": \"";
const std::string kBadData = "bad frame line: the data is not 0 to 8 bytes of two upper-case hex digits and a blank";
const std::string kBadDump = "bad adapter message: not upper-case hex pairs, each followed by a blank, nor \"No Data\"";
const std::string kNoSettings = "a \"Continue\" line is not followed by the \"CAN11/CAN29 ...\" settings line";
const std::string kNotCaptureName = "not a capture log: the name is not DDMMYY_hhmmss.log";

const std::string kGood12 = Lines({kOpen, kSettings11, kGoodFrame});

const BadCase kBadCases[] = {
    {"NameNotALogName", {{"capture.log", kGood12}}, 0, 0, kNotCaptureName},
    {"NameOfNoRealDate", {{"310426_120000.log", kGood12}}, 0, 0, kNotCaptureName},
    {"MissingFile", {}, 0, 0, "cannot open: No such file or directory"},
    {"EmptyFile", {{kName12, ""}}, 0, 0, "not a capture log: the file is empty"},
    {"CandumpFile",
     {{kName12, "(1626905042.645596) can1 0CF00400#507D8DD11200F48E\n"}},
     0,
     1,
     "not a capture log: the line ends in LF without CR"},
    {"BinaryFile",
     {{kName12, std::string(70000, 'x')}},
     0,
     1,
     "not a capture log: the line is longer than any log line"},
    {"TextFile", {{kName12, Lines({"Hello"})}}, 0, 1, "not a capture log: " + kNotLogLine},
    {"LastLineCutOff",
     {{kName12, Lines({kOpen, kSettings11, kGoodFrame}) + "0000000006: RxD(CAN): 0000"}},
     0,
     4,
     "the last line is cut off (it does not end in CR LF)"},
    {"LineEndsInBareLf",
     {{kName12, Lines({kOpen, kGoodFrame}) + "0000000006: Close COM1\n"}},
     0,
     3,
     "the line ends in LF without CR"},
    {"StampNotDigits", {{kName12, Lines({kOpen, kGoodFrame, "000000001x: Close COM1"})}}, 0, 3, kNotLogLine},
    {"StampWithoutColon", {{kName12, Lines({kOpen, kGoodFrame, "0000000010 Close COM1"})}}, 0, 3, kNotLogLine},
    {"StampGoesBack",
     {{kName12, Lines({kOpen, "0000000009: RxD(CAN): 000007E8: 01 ", kGoodFrame})}},
     0,
     3,
     "the stamp 0000000005 is earlier than 0000000009 on the line before"},
    {"IdentifierLowerCase",
     {{kName12, Lines({kOpen, kGoodFrame, "0000000006: RxD(CAN): 000007e8: 01 "})}},
     0,
     3,
     "bad frame line: the identifier is not 8 upper-case hex digits and \": \""},
    {"IdentifierShort",
     {{kName12, Lines({kOpen, kGoodFrame, "0000000006: RxD(CAN): 7E8: 01 "})}},
     0,
     3,
     "bad frame line: the identifier is not 8 upper-case hex digits and \": \""},
    {"IdentifierAbove29Bits",
     {{kName12, Lines({kOpen, kGoodFrame, "0000000006: RxD(CAN): 20000000: 01 "})}},
     0,
     3,
     "bad frame line: the identifier 20000000 is above 1FFFFFFF"},
    {"NineDataBytes",
     {{kName12, Lines({kOpen, kGoodFrame, "0000000006: RxD(CAN): 000007E8: 01 02 03 04 05 06 07 08 09 "})}},
     0,
     3,
     kBadData},
    {"DataWithoutLastBlank",
     {{kName12, Lines({kOpen, kGoodFrame, "0000000006: RxD(CAN): 000007E8: 01 02"})}},
     0,
     3,
     kBadData},
    {"DataNotHex", {{kName12, Lines({kOpen, kGoodFrame, "0000000006: RxD(CAN): 000007E8: 0G "})}}, 0, 3, kBadData},
    {"AdapterMessageNotHex", {{kName12, Lines({kOpen, kGoodFrame, "0000000006: RxD: 70 5 "})}}, 0, 3, kBadDump},
    {"CommandNotHex", {{kName12, Lines({kOpen, kGoodFrame, "0000000006: TxD: "})}}, 0, 3, kBadDump},
    {"AdapterMessageOfOtherData",
     {{kName12, Lines({kOpen, kSettings11, kInitStart, kVektaFirst, kGoodFrame,
                       "0000000006: RxD: 70 05 FD 00 00 00 02 ", "0000000006: RxD(CAN): 000007E8: 01 "})}},
     0,
     7,
     "the adapter message on line 6 is not this frame's (\"RxD: 70 \" with its count and data)"},
    {"AdapterMessageOfOtherType",
     {{kName12,
       Lines({kOpen, kSettings11, kGoodFrame, "0000000006: RxD: 55 00 ", "0000000006: RxD(CAN): 000007E8: 01 "})}},
     0,
     5,
     "the adapter message on line 4 is not this frame's (\"RxD: 70 \" with its count and data)"},
    {"TriloxMarkAgainstIdentifier",
     {{kName12, Lines({kOpen, kSettings11, kInitStart, kTriloxFirst, "0000000006: RxD: 70 05 91 54 56 78 01 ",
                       "0000000006: RxD(CAN): 00000495: 01 "})}},
     0,
     6,
     "the adapter message on line 5 decodes to 12345678 as 29-bit, not to the identifier logged"},
    {"VektaGroupAgainstIdentifier",
     {{kName12, Lines({kOpen, kSettings29, kInitStart, kVektaFirst, "0000000006: RxD: 70 05 FD 00 00 00 01 ",
                       "0000000006: RxD(CAN): 000007E8: 01 "})}},
     0,
     6,
     "the adapter message on line 5 decodes to 1FA00000 as 29-bit, not to the identifier logged"},
    {"UnknownKindNeitherDecoding",
     {{kName12, Lines({kContinue, kSettings11, "0000000006: RxD: 70 05 FD 00 00 00 01 ",
                       "0000000006: RxD(CAN): 00000123: 01 "})}},
     0,
     4,
     "the adapter message on line 3 does not decode to the identifier logged (11-bit gives 000007E8, 29-bit "
     "1FA00000)"},
    {"ContinueWithoutSettings",
     {{kName12, Lines({kOpen, kSettings11, kGoodFrame, kContinue, kGoodFrame})}},
     0,
     5,
     kNoSettings},
    {"ContinueAsLastLine", {{kName12, Lines({kOpen, kSettings11, kGoodFrame, kContinue})}}, 0, 4, kNoSettings},
    {"LaterFileNotContinued",
     {{kName12, kGood12}, {kName13, Lines({kOpen, kSettings11, kGoodFrame})}},
     1,
     1,
     "does not continue {dir}" + kName12 + ": its first line is not a \"Continue\" line"},
    {"FilesOutOfOrder",
     {{kName13, kGood12}, {kName12, Lines({kContinue, kSettings11, kGoodFrame})}},
     1,
     0,
     "not written after {dir}" + kName13 + " (by the names); give the files in the order written"},
    {"BadLineInLaterFile",
     {{kName12, kGood12}, {kName13, Lines({kContinue, kSettings11, kGoodFrame, "0000000007: RxD(CAN): 000007E8: 1 "})}},
     1,
     4,
     kBadData},
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BadCase &c, std::ostream *out)
{
    *out << c.name;
}

class BadInputTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInputTest, NamesFileAndLineAndWritesNothing)
{
    const BadCase &c = GetParam();
    const testing_support::TempDir dir;
    std::vector<std::string> paths = WriteLogs(dir, c.files);
    if (paths.empty())
        paths.push_back((dir.path() / kName12).string());
    size_t written = 0;
    const auto problem = vektalog::WriteCandump(paths, "can0", [&](std::string_view) {
        ++written;
        return std::optional<vektalog::Problem>();
    });
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->file, paths[c.badFile]);
    EXPECT_EQ(problem->line, c.line);
    EXPECT_EQ(problem->text, WithDir(c.text, dir));
    EXPECT_EQ(written, 0u);
}

INSTANTIATE_TEST_SUITE_P(Logs, BadInputTest, ::testing::ValuesIn(kBadCases),
                         [](const auto &info) { return info.param.name; });

}  // namespace
