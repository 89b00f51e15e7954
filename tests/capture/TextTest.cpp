#include <gtest/gtest.h>

#include <cerrno>

#include "capture/SerialDevice.h"
#include "capture/Unit2.h"
#include "capture/logstore/Cp1251.h"
#include "common/ErrorText.h"
#include "tests/support/CaseNames.h"

namespace {

TEST(Cp1251, ConvertsCyrillicAndMarksWhatTheCodePageLacks)
{
    EXPECT_EQ(Utf8ToCp1251("Open COM1"), "Open COM1");
    EXPECT_EQ(Utf8ToCp1251("АЯаяЁё№€"), "\xC0\xDF\xE0\xFF\xA8\xB8\xB9\x88");
    EXPECT_EQ(Utf8ToCp1251("Device отсутствует"), "Device \xEE\xF2\xF1\xF3\xF2\xF1\xF2\xE2\xF3\xE5\xF2");
    EXPECT_EQ(Utf8ToCp1251("漢x"), "?x");
    EXPECT_EQ(Utf8ToCp1251("\xD0"), "?");  // a sequence cut short
}

TEST(ErrorTexts, AreTheSystemsTextsWithoutTrailingFullStopsOrBlanks)
{
    EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(SystemErrorText(PortBusyError()), "Device or resource busy");
    for (uint32_t code = 1; code < 140; ++code) {
        const std::string text = SystemErrorText(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_TRUE(text.back() != '.' && text.back() != ' ') << code << ": " << text;
    }
}

TEST(ErrorTexts, KindsHaveTheirOperatorTexts)
{
    EXPECT_EQ(ErrorKindText(ErrorKind::kNoDevice), "Device отсутствует");
    EXPECT_EQ(ErrorKindText(ErrorKind::kNoEcu), "ECU не отвечает");
    EXPECT_EQ(ErrorKindText(ErrorKind::kTxD), "Ошибка TxD");
    EXPECT_EQ(ErrorKindText(ErrorKind::kRxD), "Ошибка RxD");
    EXPECT_TRUE(ErrorKindText(ErrorKind::kNone).empty());
    EXPECT_TRUE(ErrorKindText(3).empty());
}

struct PathCase {
    const char *name;
    const char *path;

    friend void PrintTo(const PathCase &c, std::ostream *os) { *os << c.name << " is " << c.path; }
};

class PortNames : public ::testing::TestWithParam<PathCase> {};

TEST_P(PortNames, MapToDevicePaths)
{
    EXPECT_EQ(SerialDevice::DevicePath(GetParam().name), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Linux, PortNames,
                         ::testing::Values(PathCase{"COM1", "/dev/ttyS0"}, PathCase{"com12", "/dev/ttyS11"},
                                           PathCase{"Com3", "/dev/ttyS2"}, PathCase{"COM0", "/dev/COM0"},
                                           PathCase{"COMX", "/dev/COMX"}, PathCase{"COM", "/dev/COM"},
                                           PathCase{"ttyUSB0", "/dev/ttyUSB0"},
                                           PathCase{"/tmp/vekta/port", "/tmp/vekta/port"}),
                         testing_support::PrintedName());

TEST(SharedText, IsCutTo255BytesAndTerminated)
{
    TCaptureControl *control = new TCaptureControl{};
    StoreText(control->portName, std::string(300, 'p'));
    EXPECT_EQ(LoadText(control->portName), std::string(255, 'p'));
    StoreText(control->portName, "COM2");
    EXPECT_EQ(LoadText(control->portName), "COM2");
    delete control;
}

TEST(FirstByteWaits, NeverSpinAndNeverHoldAStopForLong)
{
    EXPECT_EQ(FirstByteWait(0), 1u);
    EXPECT_EQ(FirstByteWait(1000), 1000u);
    EXPECT_EQ(FirstByteWait(0xFFFFFFFF), 10000u);  // a "negative" RTO
}

}  // namespace
