// A capture program for the tests that kill one: it captures from a port
// into a log folder, "Adapter LOG" and "CAN LOG" on, until it is killed; with a cut pace it
// also cuts the log that often.
//   vektacapture_program FOLDER/ PORT [CUT_EVERY_MS]
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "capture/Unit2.h"

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER/ PORT [CUT_EVERY_MS]\n", argv[0]);
        return 2;
    }
    const auto cutEvery = std::chrono::milliseconds(argc > 3 ? std::stoul(argv[3]) : 0);
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
    for (;;) {
        if (cutEvery.count() == 0) {
            std::this_thread::sleep_for(std::chrono::hours(1));
            continue;
        }
        std::this_thread::sleep_for(cutEvery);
        control.flags.store(FlagWord::kStartAndCut);
    }
}
