#include <gtest/gtest.h>

#include <QStringList>

#include <ostream>

#include "tests/support/CaseNames.h"
#include "window/ErrorBox.h"

namespace {

struct StopCase {
    const char *name;
    const char *message;
    const char *shown;
};

void PrintTo(const StopCase &c, std::ostream *out)
{
    *out << c.name << ": '" << c.message << "' shows as '" << c.shown << "'";
}

class FullStopTest : public testing::TestWithParam<StopCase> {};

TEST_P(FullStopTest, AppendsAFullStopAfterCharactersAboveIt)
{
    EXPECT_EQ(WithFullStop(QString::fromUtf8(GetParam().message)), QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Messages, FullStopTest,
                         testing::Values(StopCase{"Letter", "File access denied", "File access denied."},
                                         StopCase{"FullStop", "Already ended.", "Already ended."},
                                         StopCase{"Bracket", "In brackets (x)", "In brackets (x)"},
                                         StopCase{"Word", "'' is not a valid integer value",
                                                  "'' is not a valid integer value."},
                                         StopCase{"Quote", "Ends in a quote '", "Ends in a quote '"},
                                         StopCase{"Slash", "Ends in a slash/", "Ends in a slash/."},
                                         StopCase{"Cyrillic", "Ошибка", "Ошибка."}, StopCase{"Empty", "", ""}),
                         testing_support::CaseName());

TEST(ErrorReport, ShowErrorGoesThroughTheCurrentReport)
{
    QStringList seen;
    const ErrorReport previous = SetErrorReport([&seen](const QString &message) { seen.push_back(message); });
    ShowError(QStringLiteral("Disk full"));
    SetErrorReport(previous);
    EXPECT_EQ(seen, QStringList{QStringLiteral("Disk full.")});
}

}  // namespace
