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

#include "capture/AdapterEncoding.h"
#include "capture/Unit2.h"
#include "tests/support/CaptureSupport.h"

namespace fs = std::filesystem;

namespace bench_support {

namespace {

constexpr const char *kUsbDevices = "/sys/bus/usb/devices/";
constexpr int kHostAnswerWaitMs = 30000;

std::string Upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
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

std::vector<vektasim::CanFrame> LoggedFrames(const std::vector<LogLine> &lines, size_t from)
{
    const std::string prefix = "RxD(CAN): ";
    std::vector<vektasim::CanFrame> frames;
    for (size_t i = from; (i = FindLine(lines, prefix, i)) < lines.size(); ++i) {
        std::istringstream fields(lines[i].message.substr(prefix.size()));
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

bool SameFrame(const vektasim::CanFrame &a, const vektasim::CanFrame &b)
{
    return a.id == b.id && a.length == b.length && std::equal(a.data, a.data + a.length, b.data);
}

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
