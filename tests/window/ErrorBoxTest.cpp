#include <gtest/gtest.h>

#include <QStringList>

#include "ErrorBox.h"

namespace {

struct StopCase {
    const char *message;
    const char *shown;
};

class FullStopTest : public testing::TestWithParam<StopCase> {};

TEST_P(FullStopTest, AppendsAFullStopAfterCharactersAboveIt)
{
    EXPECT_EQ(WithFullStop(QString::fromUtf8(GetParam().message)), QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Messages, FullStopTest, testing::Values(
    StopCase{"File access denied", "File access denied."},
    StopCase{"Already ended.", "Already ended."},
    StopCase{"In brackets (x)", "In brackets (x)"},
    StopCase{"'' is not a valid integer value", "'' is not a valid integer value."},
    StopCase{"Ends in a quote '", "Ends in a quote '"},
    StopCase{"Ends in a slash/", "Ends in a slash/."},
    StopCase{"Ошибка", "Ошибка."},
    StopCase{"", ""}));

TEST(ErrorReport, ShowErrorGoesThroughTheCurrentReport)
{
    QStringList seen;
    const ErrorReport previous = SetErrorReport([&seen](const QString &message) { seen.push_back(message); });
    ShowError(QStringLiteral("Disk full"));
    SetErrorReport(previous);
    EXPECT_EQ(seen, QStringList{QStringLiteral("Disk full.")});
}

}  // namespace
