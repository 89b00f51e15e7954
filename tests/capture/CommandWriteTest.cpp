// Writing a command when the line will not take it: a write cut short by its
// time-out is the adapter's error, a write the system refuses is the system's.
#include <gtest/gtest.h>

#include <cerrno>

#include "SimSupport.h"
#include "capture/Unit2.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/CaseNames.h"

namespace {

using namespace testing_support;

struct WriteCase {
    const char *name;
    // Put in place before the port opens, or after.
    bool (*beforeOpen)(vektasim::Simulator &sim, std::string &error);
    void (*afterOpen)(vektasim::Simulator &sim);
    uint32_t sysError;
    int32_t errorKind;

    friend void PrintTo(const WriteCase &c, std::ostream *os) { *os << c.name; }
};

class CommandWrite : public ::testing::TestWithParam<WriteCase> {};

// The error fields hold values of an earlier step, to show which one the
// failed write leaves alone.
constexpr uint32_t kEarlierSysError = ENOENT;
constexpr int32_t kEarlierErrorKind = ErrorKind::kNoEcu;

TEST_P(CommandWrite, SetsOnlyItsOwnErrorField)
{
    const WriteCase &c = GetParam();
    TempDir dir;
    auto sim = StartSimulator(Quiet());
    std::string error;
    ASSERT_TRUE(c.beforeOpen(*sim, error)) << error;
    DetachedCapture cap;
    PrepareControl(*cap.control, dir, sim->PortPath());
    cap.control->flags = FlagWord::kStart;
    cap.thread->OpenPort();
    ASSERT_EQ(cap.control->sysError.load(), 0u);
    c.afterOpen(*sim);

    cap.control->sysError = kEarlierSysError;
    cap.control->errorKind = kEarlierErrorKind;
    EXPECT_FALSE(cap.thread->SendCommand(0x5F, 0, nullptr));
    EXPECT_EQ(cap.control->sysError.load(), c.sysError);
    EXPECT_EQ(cap.control->errorKind.load(), c.errorKind);
    EXPECT_TRUE(sim->Received().empty());
    cap.thread->ClosePort();
}

INSTANTIATE_TEST_SUITE_P(Line, CommandWrite,
                         ::testing::Values(WriteCase{"short_write_on_a_held_line",
                                                     [](vektasim::Simulator &sim, std::string &error) {
                                                         return sim.HoldOutput(true, error);
                                                     },
                                                     [](vektasim::Simulator &) {}, kEarlierSysError, ErrorKind::kTxD},
                                           WriteCase{"failed_write_after_a_hang_up",
                                                     [](vektasim::Simulator &, std::string &) { return true; },
                                                     [](vektasim::Simulator &sim) { sim.Unplug(); }, EIO,
                                                     kEarlierErrorKind}),
                         CaseName());

}  // namespace
