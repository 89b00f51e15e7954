// What the driver-bench tests see of the bench around them: the emulated
// converters as the kernel's ftdi_sio driver shows them, QEMU's trace of
// every request the driver sent a converter, the simulators' records on the
// host ends, and the host's hand on the converters' plugs.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "Simulator.h"
#include "TestSupport.h"

namespace bench_support {

// FTDI vendor requests as QEMU's trace names them (request type << 8 | request).
constexpr uint32_t kFtdiModemControl = 0x4001;
constexpr uint32_t kFtdiSetBaudRate = 0x4003;
constexpr uint32_t kFtdiDtrMask = 0x0100;
constexpr uint32_t kFtdiRtsMask = 0x0200;
constexpr uint32_t kFtdiDtr = 0x0001;
constexpr uint32_t kFtdiRts = 0x0002;

// One adapter of the bench: the simulator's kind, the converter it sits
// behind, and the host files that tell what reached it.
struct BenchAdapter {
    std::string kind;      // "vekta" or "trilox"
    std::string usbPort;   // the converter's place on the guest's USB bus, e.g. "1-1"
    std::string record;    // the simulator's record of what it received
    std::string replay;    // the candump file the simulator streams, looped
};
// VEKTABENCH_<KIND>_USB, _RECORD and _REPLAY, as the bench script sets them.
BenchAdapter AdapterFromEnvironment(const std::string &kind);

// The converter's serial device (/dev/ttyUSBn), once the driver has bound it;
// empty when it does not show within the wait.
std::string ConverterDevice(const BenchAdapter &adapter,
                            std::chrono::milliseconds wait = std::chrono::seconds(15));
struct TraceEvent {
    int64_t timeUs = 0;   // host wall clock
    int address = 0;      // the converter's slot on QEMU's xHCI controller
    bool isBaud = false;  // usb_serial_set_baud: baud is set; else a control request
    uint32_t request = 0;
    uint32_t value = 0;
    uint32_t baud = 0;
};

// QEMU's trace file (VEKTABENCH_TRACE), read from a mark onwards. The tests
// use one converter at a time and an idle one sends nothing, so the events
// since a mark are those of the converter in use.
class Trace {
public:
    Trace();
    // Everything traced from now on.
    void Mark();
    // The events since the mark, in order.
    std::vector<TraceEvent> Since() const;

private:
    std::string path_;
    uint64_t mark_ = 0;
};

// The requests that set the line: baud rates and modem lines, in order.
std::vector<TraceEvent> LineRequests(const std::vector<TraceEvent> &events);
// One request in words: "baud 833333", "DTR on", "RTS off", "DTR off, RTS off".
std::string Describe(const TraceEvent &event);
std::vector<std::string> Describe(const std::vector<TraceEvent> &events);

// A log line with its millisecond stamp, from the log files of a folder.
struct LogLine {
    uint32_t ms = 0;
    std::string text;
};
std::vector<LogLine> StampedLog(const testing_support::TempDir &dir);
// Where the first line beginning with prefix stands at or after from, or
// lines.size().
size_t FindLine(const std::vector<LogLine> &lines, const std::string &prefix, size_t from = 0);
size_t CountLines(const std::vector<LogLine> &lines, const std::string &prefix);

// The frames of the "RxD(CAN): " lines from a line on.
std::vector<vektasim::CanFrame> LoggedFrames(const std::vector<LogLine> &lines, size_t from = 0);
// The frames the adapter's simulator replays, one pass of its loop.
std::vector<vektasim::CanFrame> ReplayedFrames(const BenchAdapter &adapter);
// Empty when logged is one unbroken run of the looped replay: no frame
// missing, doubled or changed; otherwise what is wrong.
std::string UnbrokenRun(const std::vector<vektasim::CanFrame> &logged, const std::vector<vektasim::CanFrame> &replay);

// Fills CaptureControl as the window does at Start, for this adapter.
void PrepareCapture(const BenchAdapter &adapter, const std::string &device, const testing_support::TempDir &dir);

// Asks the host to pull a converter and put it back after away; answers when
// it is back. away is the time from the unplug's end to the replug's start.
bool Replug(const BenchAdapter &adapter, std::chrono::milliseconds away);

}  // namespace bench_support
