// A converter pulled mid-reception and plugged in again, played by the
// simulator that scripts/wine-test.sh kills and starts again behind the same
// COM port when this test signals: the broken line is reported with the
// system's text, and the run's attempts go on until reception resumes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "common/ErrorText.h"
#include "tests/capture/Figures.h"
#include "tests/support/BenchTrace.h"
#include "tests/support/CaptureSupport.h"

namespace {

using namespace testing_support;
using bench_support::Environment;

constexpr uint8_t kTrilox = 1;  // Wine cannot pulse VEKTA's DTR on a pseudo-terminal

// Tells the script where the test stands: a file of that name in its folder.
void Signal(const std::string &folder, const char *name)
{
    std::ofstream(folder + "\\" + name) << name << "\n";
}

bool Receiving()
{
    return CaptureControl.state.load() == CaptureState::kReceiving;
}

TEST(SimulatorRestart, ReportsTheBrokenLineAndResumesReception)
{
    const std::string port = Environment("VEKTAMON_TEST_RESTART_PORT");
    const std::string signals = Environment("VEKTAMON_TEST_RESTART_SIGNALS");
    if (port.empty() || signals.empty())
        GTEST_SKIP() << "run by scripts/wine-test.sh, which restarts the simulator";
    TempDir dir;
    PrepareControl(CaptureControl, dir, port);
    CaptureControl.hardware = kTrilox;
    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor([] { return Receiving() && TabledFrames() > 0; }))
        << "sysError " << CaptureControl.sysError.load() << " errorKind " << CaptureControl.errorKind.load();

    Signal(signals, "receiving");
    uint32_t broken = 0;
    ASSERT_TRUE(WaitFor([&] {
        broken = CaptureControl.sysError.load();
        return broken != 0;
    })) << "the capture went on receiving from a line that is gone";
    Signal(signals, "broken");
    ASSERT_TRUE(WaitFor(Receiving)) << "sysError " << CaptureControl.sysError.load();
    thread.Stop();
    EXPECT_TRUE(thread.End());

    // The line's failure ends the first run, with its text before its close.
    const auto messages = AllLogMessages(dir);
    const auto close = std::find(messages.begin(), messages.end(), "Close " + port);
    ASSERT_NE(close, messages.end());
    ASSERT_NE(close, messages.begin());
    EXPECT_EQ(*(close - 1), SystemErrorText(broken));
    const auto opened =
        std::count_if(messages.begin(), messages.end(), [](const std::string &m) { return m.rfind("Open ", 0) == 0; });
    EXPECT_GE(opened, 2);
    std::printf("[ FIGURE   ] %s pulled mid-reception: \"%s\" (error %u), reception resumed after %td opens\n",
                port.c_str(), SystemErrorText(broken).c_str(), broken, opened);
}

}  // namespace
