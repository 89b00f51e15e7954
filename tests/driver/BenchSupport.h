// What the driver-bench tests see of the bench around them: the emulated
// converters as the kernel's ftdi_sio driver shows them, QEMU's trace of
// every request the driver sent a converter, the simulators' records on the
// host ends, and the host's hand on the converters' plugs.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/Simulator.h"
#include "tests/support/BenchTrace.h"
#include "tests/support/CaptureSupport.h"

namespace bench_support {

// One adapter of the bench: the simulator's kind, the converter it sits
// behind, and the host files that tell what reached it.
struct BenchAdapter {
    std::string kind;     // "vekta" or "trilox"
    std::string usbPort;  // the converter's place on the guest's USB bus, e.g. "1-1"
    std::string record;   // the simulator's record of what it received
    std::string replay;   // the candump file the simulator streams, looped
};
// VEKTABENCH_<KIND>_USB, _RECORD and _REPLAY, as the bench script sets them.
BenchAdapter AdapterFromEnvironment(const std::string &kind);

// The converter's serial device (/dev/ttyUSBn), once the driver has bound it;
// empty when it does not show within the wait.
std::string ConverterDevice(const BenchAdapter &adapter, std::chrono::milliseconds wait = std::chrono::seconds(15));
// The frames of the "RxD(CAN): " lines from a line on.
std::vector<vektasim::CanFrame> LoggedFrames(const std::vector<LogLine> &lines, size_t from = 0);
// The frames the adapter's simulator replays, one pass of its loop.
std::vector<vektasim::CanFrame> ReplayedFrames(const BenchAdapter &adapter);
// Identifier, length and data alike.
bool SameFrame(const vektasim::CanFrame &a, const vektasim::CanFrame &b);
// Empty when logged is one unbroken run of the looped replay: no frame
// missing, doubled or changed; otherwise what is wrong.
std::string UnbrokenRun(const std::vector<vektasim::CanFrame> &logged, const std::vector<vektasim::CanFrame> &replay);

// Fills CaptureControl as the window does at Start, for this adapter.
void PrepareCapture(const BenchAdapter &adapter, const std::string &device, const testing_support::TempDir &dir);

// Asks the host to pull a converter and put it back after away; answers when
// it is back. away is the time from the unplug's end to the replug's start.
bool Replug(const BenchAdapter &adapter, std::chrono::milliseconds away);

}  // namespace bench_support
