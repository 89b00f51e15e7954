// What QEMU's trace and the capture's log files tell after a run on the
// driver bench; portable, for the Linux and the Windows build's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/CaptureSupport.h"

namespace bench_support {

// The value of an environment variable; empty when it is not set.
std::string Environment(const std::string &name);

// FTDI vendor requests as QEMU's trace names them (request type << 8 | request).
constexpr uint32_t kFtdiModemControl = 0x4001;
constexpr uint32_t kFtdiSetBaudRate = 0x4003;
constexpr uint32_t kFtdiDtrMask = 0x0100;
constexpr uint32_t kFtdiRtsMask = 0x0200;
constexpr uint32_t kFtdiDtr = 0x0001;
constexpr uint32_t kFtdiRts = 0x0002;

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
// One request a line, with the last digits of its time: "41234 ms: DTR on".
std::string Listed(const std::vector<TraceEvent> &events);

using testing_support::LogLine;
// Where the first line beginning with prefix stands at or after from, or
// lines.size().
size_t FindLine(const std::vector<LogLine> &lines, const std::string &prefix, size_t from = 0);
size_t CountLines(const std::vector<LogLine> &lines, const std::string &prefix);

}  // namespace bench_support
