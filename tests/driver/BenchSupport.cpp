#include "BenchSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "AdapterEncoding.h"
#include "TestSupport.h"
#include "Unit2.h"

namespace fs = std::filesystem;

namespace bench_support {

namespace {

constexpr const char *kUsbDevices = "/sys/bus/usb/devices/";
constexpr int kHostAnswerWaitMs = 30000;

std::string Environment(const std::string &name)
{
    const char *value = std::getenv(name.c_str());
    return value != nullptr ? value : "";
}

std::string Upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// "PID@SECONDS.MICROSECONDS:event dev BUS:ADDRESS ..." as -msg timestamp=on
// makes QEMU's log back end write it.
bool ParseTraceLine(const std::string &line, TraceEvent &event)
{
    long long seconds = 0, micros = 0;
    int bus = 0;
    unsigned request = 0, value = 0, baud = 0;
    if (std::sscanf(line.c_str(), "%*d@%lld.%lld:usb_serial_handle_control dev %d:%d got control %x, value %x",
                    &seconds, &micros, &bus, &event.address, &request, &value) == 6) {
        event.isBaud = false;
        event.request = request;
        event.value = value;
    } else if (std::sscanf(line.c_str(), "%*d@%lld.%lld:usb_serial_set_baud dev %d:%d baud rate %u", &seconds,
                           &micros, &bus, &event.address, &baud) == 5) {
        event.isBaud = true;
        event.baud = baud;
    } else {
        return false;
    }
    event.timeUs = seconds * 1000000 + micros;
    return true;
}

std::string LineWord(const char *name, uint32_t value, uint32_t mask, uint32_t bit)
{
    if ((value & mask) == 0)
        return {};
    return std::string(name) + ((value & bit) != 0 ? " on" : " off");
}

}  // namespace

BenchAdapter AdapterFromEnvironment(const std::string &kind)
{
    const std::string prefix = "VEKTABENCH_" + Upper(kind) + "_";
    return {kind, Environment(prefix + "USB"), Environment(prefix + "RECORD"), Environment(prefix + "REPLAY")};
}

std::string ConverterDevice(const BenchAdapter &adapter, std::chrono::milliseconds wait)
{
    // The driver's tty sits in the converter's only interface.
    const fs::path interface = fs::path(kUsbDevices) / adapter.usbPort / (adapter.usbPort + ":1.0");
    std::string device;
    testing_support::WaitFor(
        [&] {
            std::error_code error;
            for (const auto &entry : fs::directory_iterator(interface, error)) {
                const std::string name = entry.path().filename().string();
                if (name.rfind("ttyUSB", 0) == 0 && fs::exists("/dev/" + name)) {
                    device = "/dev/" + name;
                    return true;
                }
            }
            return false;
        },
        wait);
    return device;
}

Trace::Trace() : path_(Environment("VEKTABENCH_TRACE")) {}

void Trace::Mark()
{
    std::error_code error;
    mark_ = fs::file_size(path_, error);
    if (error)
        mark_ = 0;
}

std::vector<TraceEvent> Trace::Since() const
{
    std::ifstream in(path_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(mark_));
    std::vector<TraceEvent> events;
    std::string line;
    // A line still being written has no end yet and is left for later.
    while (std::getline(in, line) && !in.eof()) {
        TraceEvent event;
        if (ParseTraceLine(line, event))
            events.push_back(event);
    }
    return events;
}

std::vector<TraceEvent> LineRequests(const std::vector<TraceEvent> &events)
{
    std::vector<TraceEvent> line;
    for (const TraceEvent &e : events)
        if (e.isBaud || e.request == kFtdiModemControl)
            line.push_back(e);
    return line;
}

std::string Describe(const TraceEvent &event)
{
    if (event.isBaud)
        return "baud " + std::to_string(event.baud);
    if (event.request != kFtdiModemControl)
        return "request " + std::to_string(event.request);
    const std::string dtr = LineWord("DTR", event.value, kFtdiDtrMask, kFtdiDtr);
    const std::string rts = LineWord("RTS", event.value, kFtdiRtsMask, kFtdiRts);
    return dtr.empty() || rts.empty() ? dtr + rts : dtr + ", " + rts;
}

std::vector<std::string> Describe(const std::vector<TraceEvent> &events)
{
    std::vector<std::string> words;
    for (const TraceEvent &e : events)
        words.push_back(Describe(e));
    return words;
}

std::vector<LogLine> StampedLog(const testing_support::TempDir &dir)
{
    constexpr size_t kStampDigits = 10;
    std::vector<LogLine> lines;
    for (const auto &file : dir.LogFiles()) {
        const std::string text = testing_support::ReadFile(file);
        size_t pos = 0;
        for (size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
            const std::string line = text.substr(pos, end - pos);
            if (line.size() >= kStampDigits + 2)
                lines.push_back({static_cast<uint32_t>(std::stoul(line.substr(0, kStampDigits))),
                                 line.substr(kStampDigits + 2)});
        }
    }
    return lines;
}

size_t FindLine(const std::vector<LogLine> &lines, const std::string &prefix, size_t from)
{
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i].text.rfind(prefix, 0) == 0)
            return i;
    return lines.size();
}

size_t CountLines(const std::vector<LogLine> &lines, const std::string &prefix)
{
    size_t count = 0;
    for (size_t i = 0; (i = FindLine(lines, prefix, i)) < lines.size(); ++i)
        ++count;
    return count;
}

std::vector<vektasim::CanFrame> LoggedFrames(const std::vector<LogLine> &lines, size_t from)
{
    const std::string prefix = "RxD(CAN): ";
    std::vector<vektasim::CanFrame> frames;
    for (size_t i = from; (i = FindLine(lines, prefix, i)) < lines.size(); ++i) {
        std::istringstream fields(lines[i].text.substr(prefix.size()));
        vektasim::CanFrame frame;
        char colon = 0;
        unsigned byte = 0;
        fields >> std::hex >> frame.id >> colon;
        while (frame.length < sizeof frame.data && fields >> std::hex >> byte)
            frame.data[frame.length++] = static_cast<uint8_t>(byte);
        frames.push_back(frame);
    }
    return frames;
}

std::vector<vektasim::CanFrame> ReplayedFrames(const BenchAdapter &adapter)
{
    std::vector<vektasim::CanFrame> frames;
    std::string error;
    if (!vektasim::LoadCandump(adapter.replay, frames, error))
        std::fprintf(stderr, "%s\n", error.c_str());
    return frames;
}

namespace {

bool SameFrame(const vektasim::CanFrame &a, const vektasim::CanFrame &b)
{
    return a.id == b.id && a.length == b.length && std::equal(a.data, a.data + a.length, b.data);
}

}  // namespace

std::string UnbrokenRun(const std::vector<vektasim::CanFrame> &logged, const std::vector<vektasim::CanFrame> &replay)
{
    if (logged.empty() || replay.empty())
        return "no frames";
    // Any place of the replay where the run may start; one must carry it through.
    size_t longest = 0;
    for (size_t start = 0; start < replay.size(); ++start) {
        size_t i = 0;
        while (i < logged.size() && SameFrame(logged[i], replay[(start + i) % replay.size()]))
            ++i;
        if (i == logged.size())
            return {};
        longest = std::max(longest, i);
    }
    return "the run breaks after " + std::to_string(longest) + " of " + std::to_string(logged.size()) + " frames";
}

void PrepareCapture(const BenchAdapter &adapter, const std::string &device, const testing_support::TempDir &dir)
{
    testing_support::PrepareControl(CaptureControl, dir, device);
    CaptureControl.hardware = adapter.kind == "trilox" ? 1 : 0;
    // The bench's adapters replay a trace of 29-bit frames; VEKTA is told
    // so by its first receive group.
    if (CaptureControl.hardware == 0)
        CaptureControl.radr11 = CaptureControl.radr11 | kExtendedFlag;
}

bool Replug(const BenchAdapter &adapter, std::chrono::milliseconds away)
{
    const int fd = ::open(Environment("VEKTABENCH_CONTROL").c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios raw{};
    bool ok = ::tcgetattr(fd, &raw) == 0;
    ::cfmakeraw(&raw);
    ok = ok && ::tcsetattr(fd, TCSANOW, &raw) == 0 && ::tcflush(fd, TCIOFLUSH) == 0;
    const std::string request = "replug " + adapter.kind + " " + std::to_string(away.count()) + "\n";
    ok = ok && ::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size());
    // The host answers one line when the converter is back.
    std::string answer;
    while (ok && answer.find('\n') == std::string::npos) {
        pollfd pfd{fd, POLLIN, 0};
        char buffer[64];
        ssize_t got = 0;
        ok = ::poll(&pfd, 1, kHostAnswerWaitMs) == 1 && (got = ::read(fd, buffer, sizeof buffer)) > 0;
        if (ok)
            answer.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return ok && answer == "replugged " + adapter.kind + "\n";
}

}  // namespace bench_support
