#include "BenchTrace.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace bench_support {

namespace {

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
    } else if (std::sscanf(line.c_str(), "%*d@%lld.%lld:usb_serial_set_baud dev %d:%d baud rate %u", &seconds, &micros,
                           &bus, &event.address, &baud) == 5) {
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

std::string Environment(const std::string &name)
{
    const char *value = std::getenv(name.c_str());
    return value != nullptr ? value : "";
}

Trace::Trace() : path_(Environment("VEKTABENCH_TRACE"))
{
}

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

std::string Listed(const std::vector<TraceEvent> &events)
{
    std::string text;
    for (const TraceEvent &e : events)
        text += std::to_string(e.timeUs / 1000 % 100000) + " ms: " + Describe(e) + "\n";
    return text;
}

size_t FindLine(const std::vector<LogLine> &lines, const std::string &prefix, size_t from)
{
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i].message.rfind(prefix, 0) == 0)
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

}  // namespace bench_support
