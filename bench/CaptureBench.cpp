// Figures of the capture path, each through the real chain: the simulated
// adapter on a pseudo-terminal, the capture thread reading it, the identifier
// table and the log.
#include <dirent.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "bridge/BridgeSink.h"
#include "capture/Unit2.h"
#include "sim/Simulator.h"
#include "tests/capture/Figures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Waiting.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using testing_support::PeakResidentBytes;
using testing_support::ResidentBytes;
using testing_support::TabledFrames;

constexpr auto kStallLimit = 10s;
constexpr auto kBenchDeadline = 30s;

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

std::set<pid_t> Tasks()
{
    std::set<pid_t> tasks;
    if (DIR *dir = opendir("/proc/self/task")) {
        while (dirent *entry = readdir(dir))
            if (entry->d_name[0] != '.')
                tasks.insert(static_cast<pid_t>(std::atoi(entry->d_name)));
        closedir(dir);
    }
    return tasks;
}

// CPU time of another thread of this process, through its per-thread clock.
double ThreadCpuSeconds(pid_t tid)
{
    constexpr clockid_t kPerThreadSched = 6;
    const clockid_t clock = static_cast<clockid_t>((~static_cast<clockid_t>(tid)) << 3) | kPerThreadSched;
    timespec t{};
    if (clock_gettime(clock, &t) != 0)
        return 0;
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// User and system CPU seconds of a thread, from the kernel's accounting.
std::pair<double, double> ThreadUserSystemSeconds(pid_t tid)
{
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double user = 0, system = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14)
            user = std::stod(field);
        if (i == 15) {
            system = std::stod(field);
            break;
        }
    }
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return {user / ticks, system / ticks};
}

// The benchmarks wait longer than the tests: a figure may take a while to come.
bool WaitFor(const std::function<bool()> &cond)
{
    return testing_support::WaitFor(cond, kBenchDeadline);
}

// One capture thread with its simulated adapter and log folder.
class Rig {
public:
    explicit Rig(vektasim::Options options, FrameSink *sink = nullptr, bool journal = true) : sim_(options)
    {
        std::string error;
        if (!sim_.Start(error)) {
            std::fprintf(stderr, "simulator: %s\n", error.c_str());
            std::exit(1);
        }
        ResetControl(CaptureControl);
        CaptureControl.flags = FlagWord::kThreadEnded;
        StoreText(CaptureControl.logPath, dir_.logPath());
        StoreText(CaptureControl.portName, sim_.PortPath());
        CaptureControl.rto = 1000;
        CaptureControl.radr11 = options.floodIds > 2048 ? 0x80000000u : 0x7E0;
        CaptureControl.canBaud = 500000;
        CaptureControl.samp = 80;
        CaptureControl.sjw = 15;
        CaptureControl.hardware = options.kind == vektasim::Kind::Trilox ? 1 : 0;

        const auto before = Tasks();
        TC1 *t = new TC1(true);
        t->Control = &CaptureControl;
        t->Sink = sink;
        t->UseJournal = journal;
        t->Start();
        WaitFor([] { return CaptureControl.flags.load() == FlagWord::kAlive; });
        for (pid_t tid : Tasks())
            if (!before.count(tid))
                captureTid_ = tid;
    }
    ~Rig() { End(); }

    void Start(bool canLog)
    {
        CaptureControl.canLog = canLog;
        CaptureControl.flags.store(FlagWord::kStart);
    }
    void Stop()
    {
        const uint32_t before = CaptureControl.runsEnded.load();
        CaptureControl.flags.store(FlagWord::kAlive);
        WaitFor([before] { return CaptureControl.runsEnded.load() != before; });
    }
    void End()
    {
        if (CaptureControl.flags.load() == FlagWord::kThreadEnded)
            return;
        CaptureControl.flags.store(FlagWord::kEnd);
        WaitFor([] { return CaptureControl.flags.load() == FlagWord::kThreadEnded; });
    }
    // Waits until the table has counted frames frames or nothing moves for a while.
    uint64_t WaitForTabled(uint64_t frames)
    {
        uint64_t last = 0;
        auto lastMove = Clock::now();
        for (;;) {
            const uint64_t now = TabledFrames();
            if (now >= frames)
                return now;
            if (now != last) {
                last = now;
                lastMove = Clock::now();
            } else if (Clock::now() - lastMove > kStallLimit) {
                return now;
            }
            std::this_thread::sleep_for(10ms);
        }
    }
    uintmax_t LogFileBytes() const
    {
        uintmax_t total = 0;
        for (const auto &entry : fs::directory_iterator(dir_.path()))
            total += entry.file_size();
        return total;
    }
    const testing_support::TempDir &dir() const { return dir_; }

    vektasim::Simulator &sim() { return sim_; }
    pid_t captureTid() const { return captureTid_; }

private:
    vektasim::Simulator sim_;
    testing_support::TempDir dir_;
    pid_t captureTid_ = 0;
};

vektasim::Options Flood(uint32_t ids, uint64_t frames)
{
    vektasim::Options options;
    options.traffic = vektasim::Traffic::Flood;
    options.floodIds = ids;
    options.frameLimit = frames;
    options.kind = ids > 2048 ? vektasim::Kind::Trilox : vektasim::Kind::Vekta;
    return options;
}

struct Throughput {
    double framesPerSecond = 0;
    uint64_t sent = 0;
    uint64_t tabled = 0;
};

Throughput MeasureThroughput(uint32_t ids, uint64_t frames, bool canLog, bool journal = true)
{
    Rig rig(Flood(ids, frames), nullptr, journal);
    rig.Start(canLog);
    WaitFor([&] { return rig.sim().Streaming(); });
    const auto start = Clock::now();
    const uint64_t tabled = rig.WaitForTabled(frames);
    const auto elapsed = Clock::now() - start;
    Throughput result{tabled / Seconds(elapsed), rig.sim().FramesSent(), tabled};
    rig.Stop();
    return result;
}

void PrintThroughput()
{
    constexpr uint64_t kFrames = 500000;
    for (bool canLog : {false, true}) {
        const Throughput t = MeasureThroughput(500, kFrames, canLog);
        std::printf("1. throughput, 500 ids, CAN LOG %-3s : %9.0f frames/s  (sent %llu, tabled %llu, lost %lld)\n",
                    canLog ? "on" : "off", t.framesPerSecond, static_cast<unsigned long long>(t.sent),
                    static_cast<unsigned long long>(t.tabled), static_cast<long long>(t.sent - t.tabled));
    }
}

struct LineRateCost {
    double framesPerSecond = 0;
    double cpuPercent = 0;
    double userPercent = 0;
    double systemPercent = 0;
};

LineRateCost MeasureLineRate(bool journal)
{
    constexpr auto kSpan = 10s;
    auto options = Flood(500, 0);
    options.throttle = true;
    Rig rig(options, nullptr, journal);
    rig.Start(true);
    WaitFor([&] { return rig.sim().Streaming(); });
    const double cpuBefore = ThreadCpuSeconds(rig.captureTid());
    const auto [userBefore, systemBefore] = ThreadUserSystemSeconds(rig.captureTid());
    const uint64_t framesBefore = TabledFrames();
    const auto start = Clock::now();
    std::this_thread::sleep_for(kSpan);
    const double cpu = ThreadCpuSeconds(rig.captureTid()) - cpuBefore;
    const auto [userAfter, systemAfter] = ThreadUserSystemSeconds(rig.captureTid());
    const double wall = Seconds(Clock::now() - start);
    const uint64_t frames = TabledFrames() - framesBefore;
    rig.Stop();
    return {frames / wall, 100.0 * cpu / wall, 100.0 * (userAfter - userBefore) / wall,
            100.0 * (systemAfter - systemBefore) / wall};
}

void PrintLineRateCost()
{
    const LineRateCost cost = MeasureLineRate(true);
    std::printf("2. line rate 833333 bit/s, CAN LOG on: %.0f frames/s, capture thread CPU %.2f %% of one core "
                "(user %.2f %%, system %.2f %%)\n",
                cost.framesPerSecond, cost.cpuPercent, cost.userPercent, cost.systemPercent);
}

// The journal's cost: the same captures with and without it, one after the other.
void PrintJournalCost()
{
    constexpr uint64_t kFrames = 500000;
    for (bool journal : {true, false}) {
        const Throughput t = MeasureThroughput(500, kFrames, true, journal);
        std::printf("8. journal %-3s: throughput, 500 ids, CAN LOG on: %9.0f frames/s  (lost %lld)\n",
                    journal ? "on" : "off", t.framesPerSecond, static_cast<long long>(t.sent - t.tabled));
    }
    for (bool journal : {true, false}) {
        const LineRateCost cost = MeasureLineRate(journal);
        std::printf("8. journal %-3s: line rate, CAN LOG on: %.0f frames/s, capture thread CPU %.2f %% of one core "
                    "(user %.2f %%, system %.2f %%)\n",
                    journal ? "on" : "off", cost.framesPerSecond, cost.cpuPercent, cost.userPercent,
                    cost.systemPercent);
    }
}

void PrintTableScaling()
{
    constexpr uint64_t kFrames = 300000;
    const Throughput few = MeasureThroughput(10, kFrames, false);
    const Throughput many = MeasureThroughput(4096, kFrames, false);
    std::printf("3. table scaling: 10 ids %.0f frames/s, 4096 ids %.0f frames/s, ratio %.2f\n", few.framesPerSecond,
                many.framesPerSecond, many.framesPerSecond / few.framesPerSecond);
}

// The lines of the run stay in memory until it ends: about 58 bytes a line,
// so 500,000 lines keep below the bound at which the log is written as a cut.
void PrintLogMemory()
{
    constexpr uint64_t kLines = 500000;
    Rig rig(Flood(500, kLines));
    const long before = ResidentBytes();
    rig.Start(true);
    rig.WaitForTabled(kLines);
    const long grown = ResidentBytes() - before;
    rig.Stop();
    const uintmax_t text = rig.LogFileBytes();
    if (text >= kLogWriteBytes)
        std::printf("4. log memory: %.1f MB of text passed the bound and was partly written during the run\n",
                    text / 1e6);
    std::printf("4. log memory after %llu RxD(CAN) lines: %.1f MB text, %.1f MB resident growth, %.3f bytes per byte\n",
                static_cast<unsigned long long>(kLines), text / 1e6, grown / 1e6, double(grown) / double(text));
}

// Clears the peak resident size, so that a figure sees its own peak alone.
bool ResetPeakResident()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

// The RxD(CAN) lines of every log file in a folder.
uint64_t CanLinesLogged(const testing_support::TempDir &dir)
{
    constexpr std::string_view kCanLine = ": RxD(CAN): ";
    uint64_t lines = 0;
    std::vector<char> chunk(1 << 20);
    for (const auto &file : dir.LogFiles()) {
        std::ifstream in(file, std::ios::binary);
        std::string carry;
        while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
            std::string text = carry + std::string(chunk.data(), static_cast<size_t>(in.gcount()));
            for (size_t at = text.find(kCanLine); at != std::string::npos; at = text.find(kCanLine, at + 1))
                ++lines;
            carry = text.substr(text.size() - std::min(text.size(), kCanLine.size() - 1));
        }
    }
    return lines;
}

void PrintLongCapture()
{
    constexpr uint64_t kFrames = 20000000;
    Rig rig(Flood(500, kFrames));
    const bool peakReset = ResetPeakResident();
    rig.Start(true);
    WaitFor([&] { return rig.sim().Streaming(); });
    const auto start = Clock::now();
    const uint64_t tabled = rig.WaitForTabled(kFrames);
    const auto elapsed = Clock::now() - start;
    rig.Stop();
    const long peak = PeakResidentBytes();
    std::printf("7. long capture, %llu frames, CAN LOG on: peak resident %.1f MB%s, %llu lines logged of %llu sent, "
                "%zu files, %.1f MB of log, %.0f frames/s\n",
                static_cast<unsigned long long>(kFrames), peak / 1e6, peakReset ? "" : " (since process start)",
                static_cast<unsigned long long>(CanLinesLogged(rig.dir())),
                static_cast<unsigned long long>(rig.sim().FramesSent()), rig.dir().LogFiles().size(),
                rig.LogFileBytes() / 1e6, tabled / Seconds(elapsed));
}

// Waits with a fine poll for a reaction to measure it to well under a millisecond.
Clock::duration TimeUntil(const std::function<bool()> &cond)
{
    const auto start = Clock::now();
    while (!cond() && Clock::now() - start < 30s)
        std::this_thread::yield();
    return Clock::now() - start;
}

void PrintReaction()
{
    {
        vektasim::Options quiet;
        quiet.traffic = vektasim::Traffic::None;
        Rig rig(quiet);
        CaptureControl.canLog = true;
        CaptureControl.flags.store(FlagWord::kStart);
        const auto open = TimeUntil([] { return CaptureControl.state.load() != CaptureState::kIdle; });
        WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; });
        const uint32_t ended = CaptureControl.runsEnded.load();
        const auto stopAt = Clock::now();
        CaptureControl.flags.store(FlagWord::kAlive);
        TimeUntil([ended] { return CaptureControl.runsEnded.load() != ended; });
        const auto stop = Clock::now() - stopAt;
        CaptureControl.flags.store(FlagWord::kEnd);
        const auto idleEnd = TimeUntil([] { return CaptureControl.flags.load() == FlagWord::kThreadEnded; });
        std::printf("5. reaction: Start to port open %.1f ms; Stop to run end, silent bus, RTO 1000: %.1f ms; "
                    "close from idle %.1f ms\n",
                    Milliseconds(open), Milliseconds(stop), Milliseconds(idleEnd));
    }
    Rig rig(Flood(500, 0));
    rig.Start(true);
    WaitFor([] { return TabledFrames() > 10000; });
    CaptureControl.flags.store(FlagWord::kEnd);
    const auto floodEnd = TimeUntil([] { return CaptureControl.flags.load() == FlagWord::kThreadEnded; });
    std::printf("5. reaction: close during a flood, log written: %.1f ms\n", Milliseconds(floodEnd));
}

// vektacand's --candump output into a pipe that a reader empties as fast as
// it can, as `vektacand --candump TTY | cat > /dev/null` does.
class CandumpPipe {
public:
    CandumpPipe()
    {
        if (::pipe(fds_) != 0) {
            std::perror("pipe");
            std::exit(1);
        }
        output_ = std::make_unique<vektacand::CandumpOutput>(fds_[1], "can0");
        std::string error;
        if (!output_->Start(error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        reader_ = std::thread([this] {
            char buffer[1 << 16];
            while (::read(fds_[0], buffer, sizeof buffer) > 0) {
            }
        });
        sink_ = std::make_unique<vektacand::BridgeSink>(nullptr, output_.get());
    }
    ~CandumpPipe()
    {
        Finish();
        ::close(fds_[1]);
        reader_.join();
        ::close(fds_[0]);
    }
    void Finish() { output_->Finish(); }
    FrameSink *sink() { return sink_.get(); }
    const vektacand::Delivery &delivery() const { return output_->delivery(); }

private:
    int fds_[2] = {-1, -1};
    std::unique_ptr<vektacand::CandumpOutput> output_;
    std::unique_ptr<vektacand::BridgeSink> sink_;
    std::thread reader_;
};

void PrintBridgeThroughput()
{
    constexpr uint64_t kFrames = 500000;
    const Throughput bare = MeasureThroughput(500, kFrames, false);
    CandumpPipe pipe;
    Throughput bridged;
    {
        Rig rig(Flood(500, kFrames), pipe.sink());
        rig.Start(false);
        WaitFor([&] { return rig.sim().Streaming(); });
        const auto start = Clock::now();
        WaitFor([&] { return pipe.delivery().forwarded.load() + pipe.delivery().dropped.load() >= kFrames; });
        const auto elapsed = Clock::now() - start;
        bridged = {pipe.delivery().forwarded.load() / Seconds(elapsed), rig.sim().FramesSent(), TabledFrames()};
        rig.Stop();
    }
    pipe.Finish();
    std::printf("8. --candump into a pipe, 500 ids: %9.0f frames/s (forwarded %llu of %llu sent, dropped %llu); "
                "without the sink %9.0f frames/s\n",
                bridged.framesPerSecond, static_cast<unsigned long long>(pipe.delivery().forwarded.load()),
                static_cast<unsigned long long>(bridged.sent),
                static_cast<unsigned long long>(pipe.delivery().dropped.load()), bare.framesPerSecond);
}

// The capture thread's processor time at line rate, CAN LOG off, without and
// with the --candump sink.
void PrintBridgeLineRateCost()
{
    constexpr auto kSpan = 10s;
    for (bool withSink : {false, true}) {
        auto options = Flood(500, 0);
        options.throttle = true;
        CandumpPipe pipe;
        Rig rig(options, withSink ? pipe.sink() : nullptr);
        rig.Start(false);
        WaitFor([&] { return rig.sim().Streaming(); });
        const double cpuBefore = ThreadCpuSeconds(rig.captureTid());
        const uint64_t framesBefore = TabledFrames();
        const auto start = Clock::now();
        std::this_thread::sleep_for(kSpan);
        const double cpu = ThreadCpuSeconds(rig.captureTid()) - cpuBefore;
        const double wall = Seconds(Clock::now() - start);
        const uint64_t frames = TabledFrames() - framesBefore;
        rig.Stop();
        std::printf("9. line rate, CAN LOG off, %-12s: %.0f frames/s, capture thread CPU %.2f %% of one core, "
                    "%.2f us a frame\n",
                    withSink ? "--candump" : "no sink", frames / wall, 100.0 * cpu / wall, 1e6 * cpu / frames);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string only = argc > 1 ? argv[1] : "";
    const struct {
        const char *name;
        void (*run)();
    } figures[] = {{"throughput", PrintThroughput},   {"linerate", PrintLineRateCost},
                   {"scaling", PrintTableScaling},    {"logmemory", PrintLogMemory},
                   {"reaction", PrintReaction},       {"longcapture", PrintLongCapture},
                   {"bridge", PrintBridgeThroughput}, {"bridgecost", PrintBridgeLineRateCost},
                   {"journal", PrintJournalCost}};
    for (const auto &figure : figures)
        if (only.empty() || only == figure.name) {
            figure.run();
            std::fflush(stdout);
        }
    return 0;
}
