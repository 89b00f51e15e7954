// A capture program for the tests that kill one: it captures from a port
// into a log folder, "Adapter LOG" and "CAN LOG" on, until it is killed; with a cut pace it
// also cuts the log that often. SIGTERM ends the run and the thread as the
// window's close does, its log written.
//   vektacapture_program FOLDER/ PORT [CUT_EVERY_MS]
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "capture/Unit2.h"
#include "tests/support/Waiting.h"

namespace {

// A run's end writes its log, which a throttled disk may take a while over.
constexpr auto kEndDeadline = std::chrono::seconds(120);
constexpr auto kNoCutPoll = std::chrono::hours(1);

timespec Timespec(std::chrono::milliseconds pace)
{
    return {static_cast<time_t>(pace.count() / 1000), static_cast<long>(pace.count() % 1000) * 1000 * 1000};
}

// The run ended, then the thread, through the handshake the window uses.
bool EndCapture(TCaptureControl &control)
{
    const uint32_t before = control.runsEnded.load();
    control.flags.store(FlagWord::kAlive);
    if (!testing_support::WaitFor([&] { return control.runsEnded.load() != before; }, kEndDeadline))
        return false;
    control.flags.store(FlagWord::kEnd);
    return testing_support::WaitFor([&] { return control.flags.load() == FlagWord::kThreadEnded; }, kEndDeadline);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER/ PORT [CUT_EVERY_MS]\n", argv[0]);
        return 2;
    }
    const auto cutEvery = std::chrono::milliseconds(argc > 3 ? std::stoul(argv[3]) : 0);
    // Blocked before the capture thread starts, so that only sigtimedwait sees it.
    sigset_t stop;
    if (sigemptyset(&stop) != 0 || sigaddset(&stop, SIGTERM) != 0 || pthread_sigmask(SIG_BLOCK, &stop, nullptr) != 0) {
        std::perror("blocking SIGTERM");
        return 1;
    }
    TCaptureControl &control = CaptureControl;
    control.flags = FlagWord::kThreadEnded;
    StoreText(control.logPath, argv[1]);
    StoreText(control.portName, argv[2]);
    control.rto = 1000;
    control.radr11 = 0x7E0;
    control.radr12 = 0x7E8;
    control.rmsk1 = 0xFFF;
    control.radr21 = 0x7E1;
    control.rmsk2 = 0xFFF;
    control.canBaud = 500000;
    control.samp = 75;
    control.sjw = 15;
    control.adapterLog = true;
    control.canLog = true;
    TC1 *thread = new TC1(true);
    thread->Control = &control;
    thread->Start();
    control.flags.store(FlagWord::kStart);
    const timespec pace = Timespec(cutEvery.count() == 0 ? kNoCutPoll : cutEvery);
    for (;;) {
        if (sigtimedwait(&stop, nullptr, &pace) == SIGTERM)
            return EndCapture(control) ? 0 : 1;
        if (cutEvery.count() != 0)
            control.flags.store(FlagWord::kStartAndCut);
    }
}
