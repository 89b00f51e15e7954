#include "FormFixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

#include "capture/Unit2.h"

namespace {
constexpr auto kPollPeriod = 5ms;
}

bool WaitUntil(const std::function<bool()> &done, std::chrono::milliseconds deadline)
{
    QDeadlineTimer timer(deadline);
    while (!done()) {
        if (timer.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(kPollPeriod, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void FormTest::SetUp()
{
    ResetControl(CaptureControl);
    const auto *info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char &c : name)
        if (c == '/')
            c = '_';
    folder_ = std::filesystem::temp_directory_path() / ("vektawindow-" + std::to_string(::getpid())) / name;
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    previousReport_ = SetErrorReport([this](const QString &message) { errors_.push_back(message); });
}

void FormTest::TearDown()
{
    if (form_) {
        EXPECT_TRUE(CloseForm()) << "the window would not close";
    }
    SetErrorReport(previousReport_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

TForm1 &FormTest::CreateForm()
{
    form_ = std::make_unique<TForm1>(folder_.string() + "/");
    EXPECT_TRUE(WaitUntil([] { return CaptureControl.flags.load() == FlagWord::kAlive; }))
        << "the capture thread did not start";
    return *form_;
}

bool FormTest::CloseForm()
{
    if (!form_->close())
        return false;
    form_.reset();
    return CaptureControl.flags.load() == FlagWord::kThreadEnded;
}

void FormTest::WriteSettings(const std::string &bytes) const
{
    std::ofstream(SettingsPath(), std::ios::binary) << bytes;
}

std::string FormTest::ReadSettings() const
{
    std::ifstream file(SettingsPath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::string> FormTest::SettingsLines() const
{
    std::vector<std::string> lines;
    std::string bytes = ReadSettings();
    for (size_t start = 0, end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    return lines;
}
