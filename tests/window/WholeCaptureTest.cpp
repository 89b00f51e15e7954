// Whole captures through the window, from an adapter simulated on a
// pseudo-terminal.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <csignal>
#include <fstream>
#include <ostream>
#include <set>

#include "FormFixture.h"
#include "capture/Unit2.h"
#include "sim/Simulator.h"
#include "tests/support/CaseNames.h"
#include "tests/support/StepClock.h"
#include "window/DropDownComboBox.h"
#include "window/SignalClose.h"
#include "window/SpinEdit.h"
#include "window/StatusGrid.h"
#include "window/StringGrid.h"

namespace {

namespace fs = std::filesystem;

struct KindCase {
    vektasim::Kind kind;
    int hardware;
    const char *name;
};

void PrintTo(const KindCase &c, std::ostream *out)
{
    *out << c.name << " (index " << c.hardware << ")";
}

class WholeCaptureTest : public FormTest, public testing::WithParamInterface<KindCase> {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        vektasim::Options options;
        options.kind = GetParam().kind;
        simulator_ = std::make_unique<vektasim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(simulator_->Start(error)) << error;
    }

    void TearDown() override
    {
        if (steps_)
            steps_->clock.Release();  // a test that failed while it held the thread
        FormTest::TearDown();
        simulator_->Stop();
    }

    // Creates the window, chooses the simulated port and presses Start.
    TForm1 &StartCapture(int rto = 1000)
    {
        TForm1 &form = CreateForm();
        form.ComboBox1->setEditText(QString::fromStdString(simulator_->PortPath()));
        form.ComboBox2->setCurrentIndex(GetParam().hardware);
        form.CheckBox2->setChecked(true);
        form.SpinEdit3->setValue(rto);
        form.Button1->click();
        return form;
    }

    std::set<std::string> TabledIdentifiers() const
    {
        std::set<std::string> ids;
        const uint16_t count = CaptureControl.frameCount.load(std::memory_order_acquire);
        for (uint16_t row = 0; row < count; ++row)
            ids.emplace(CellText(CaptureControl.frames[row], StatusColumn::kId, false).View());
        return ids;
    }

    std::vector<fs::path> LogFiles() const
    {
        std::vector<fs::path> logs;
        for (const auto &entry : fs::directory_iterator(folder_))
            if (entry.path().extension() == ".log")
                logs.push_back(entry.path());
        return logs;
    }

    bool SomeLogHolds(const std::string &text) const
    {
        for (const fs::path &log : LogFiles()) {
            std::ifstream file(log, std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
            if (bytes.find(text) != std::string::npos)
                return true;
        }
        return false;
    }

    std::unique_ptr<vektasim::Simulator> simulator_;
    // Outlives the window and so its capture thread, when a test puts it in place.
    std::unique_ptr<testing_support::StepClockInPlace> steps_;
};

TEST_P(WholeCaptureTest, TermSignalEndsTheRunWritesItsLogAndSavesTheSettingsAsACloseDoes)
{
    TForm1 &form = StartCapture();
    ASSERT_TRUE(WaitUntil([] { return CaptureControl.frameCount.load() > 0; }));
    CloseOnEndSignals(form, [&form] { form.CloseUnattended(); });
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_TRUE(WaitUntil([] { return CaptureControl.flags.load() == FlagWord::kThreadEnded; }));
    EXPECT_EQ(SettingsLines().at(0), simulator_->PortPath());
    EXPECT_TRUE(SomeLogHolds("RxD(CAN): "));
    EXPECT_TRUE(SomeLogHolds("Close " + simulator_->PortPath()));
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("; ").toStdString();
}

TEST_P(WholeCaptureTest, StartFillsTheTableCutWritesALogStopEndsTheRunAndCloseEndsTheThread)
{
    TForm1 &form = StartCapture();
    EXPECT_TRUE(WaitUntil([&form] { return form.Label1->text() == "Обмен (- мс)"; }))
        << form.Label1->text().toStdString() << " " << form.Label2->text().toStdString();
    EXPECT_TRUE(WaitUntil([&form] { return form.StringGrid1->RowCount() >= 4; }));
    const std::set<std::string> ids = TabledIdentifiers();
    for (const char *id : {"00000100", "00000200", "00000316", "000007E8"})
        EXPECT_EQ(ids.count(id), 1u) << id;
    EXPECT_EQ(form.Label2->text(), "-/-");
    EXPECT_FALSE(form.Button1->isEnabled());
    EXPECT_TRUE(form.Button2->isEnabled());

    form.Button3->click();
    EXPECT_FALSE(form.Button3->isEnabled());
    EXPECT_TRUE(WaitUntil([&form] { return form.Button3->isEnabled(); })) << "the cut was never served";
    EXPECT_TRUE(SomeLogHolds("RxD(CAN): 00000100: "));

    form.Button2->click();
    EXPECT_TRUE(WaitUntil([&form] {
        return form.Label1->text() == "Простой" && form.Button1->isEnabled() && !form.Button2->isEnabled();
    }));
    EXPECT_TRUE(WaitUntil([] { return CaptureControl.flags.load() == FlagWord::kAlive; }));

    ASSERT_TRUE(CloseForm());
    EXPECT_EQ(SettingsLines().at(0), simulator_->PortPath());
    EXPECT_EQ(SettingsLines().at(1), std::to_string(GetParam().hardware));
    EXPECT_EQ(SettingsLines().at(7), "-1");
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
}

TEST_P(WholeCaptureTest, ClosingDuringARunEndsItAndTheThread)
{
    TForm1 &form = StartCapture();
    ASSERT_TRUE(WaitUntil([&form] { return form.StringGrid1->RowCount() >= 4; }));
    ASSERT_TRUE(CloseForm());
    EXPECT_EQ(CaptureControl.state.load(), CaptureState::kIdle);
    EXPECT_TRUE(SomeLogHolds("RxD(CAN): "));
    EXPECT_EQ(SettingsLines().size(), 22u);
}

TEST_P(WholeCaptureTest, WhileACloseWaitsForTheThreadNoButtonCanBePressed)
{
    // The capture on test time, so that the thread can be held in a sleep of
    // its end for as long as the test looks at the waiting window.
    steps_ = std::make_unique<testing_support::StepClockInPlace>();
    testing_support::StepClock &clock = steps_->clock;
    TForm1 &form = StartCapture();
    ASSERT_TRUE(WaitUntil([&form] { return form.StringGrid1->RowCount() >= 4; }));
    // A reception pass never sleeps; the first 20 ms sleep after it is the
    // thread's way to its end.
    clock.Hold(std::chrono::milliseconds(20));
    int ticksWhileHeld = 0;
    QObject::connect(form.Timer1, &QTimer::timeout, &form, [&form, &clock, &ticksWhileHeld] {
        if (CaptureControl.flags.load() != FlagWord::kEnd || !clock.Holding())
            return;
        ++ticksWhileHeld;
        for (QPushButton *button : {form.Button1, form.Button2, form.Button3})
            EXPECT_FALSE(button->isEnabled()) << button->text().toStdString();
        form.Button1->click();
        uint16_t started = FlagWord::kStart;
        if (CaptureControl.flags.compare_exchange_strong(started, FlagWord::kEnd))
            ADD_FAILURE() << "Start was taken while the close waited";  // undone, so the close can end
        clock.Release();
    });
    ASSERT_TRUE(CloseForm());
    EXPECT_GT(ticksWhileHeld, 0) << "the close did not wait for the thread";
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Adapters, WholeCaptureTest,
                         testing::Values(KindCase{vektasim::Kind::Vekta, 0, "VEKTA"},
                                         KindCase{vektasim::Kind::Trilox, 1, "TRILOX"}),
                         testing_support::CaseName());

}  // namespace
