#include "Run.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include <poll.h>
#include <unistd.h>

#include <csignal>

#include "BridgeSink.h"
#include "Capabilities.h"
#include "Reporter.h"
#include "capture/Clock.h"
#include "capture/Unit2.h"
#include "common/EndSignals.h"
#include "settings/FilesFolder.h"

namespace vektacand {

namespace {

using namespace std::chrono_literals;

// How often the state lines and drops are looked at.
constexpr auto kReportPeriod = 100ms;
constexpr auto kThreadPoll = 10ms;
// The window's logs keep their bare names; a bridge beside it on the same
// folder must never write into one of them.
constexpr const char *kLogNamePrefix = "vektacand-";

std::optional<std::string> ReadSetup(const CommandLine &line, CaptureSetup &setup)
{
    if (!line.settingsFile.empty()) {
        SettingsText text;
        if (auto failure = ReadSettingsFile(line.settingsFile, text))
            return "settings file " + line.settingsFile + ": " + *failure;
        StoredSettings stored;
        if (auto failure = ReadStoredSettings(text, stored))
            return "settings file " + line.settingsFile + ": " + *failure;
        TakeStored(stored, setup);
    }
    ApplyOptions(line, setup);
    return std::nullopt;
}

std::optional<std::string> LogFolder(const CommandLine &line, const std::string &programFolder, std::string &folder)
{
    if (line.logDir.empty()) {
        folder = FilesFolder(programFolder);
        return std::nullopt;
    }
    if (!IsWritableFolder(line.logDir))
        return "--log-dir " + line.logDir + " is not a folder this user may write into";
    folder = line.logDir.ends_with('/') ? line.logDir : line.logDir + '/';
    if (folder.size() >= kTextFieldSize)
        return "--log-dir " + line.logDir + " is longer than " + std::to_string(kTextFieldSize - 1) + " bytes";
    return std::nullopt;
}

// Waits up to timeout for SIGTERM, SIGHUP or SIGINT on the descriptor;
// answers its number, or 0.
int AwaitEndSignal(int fd, std::chrono::milliseconds timeout)
{
    pollfd in{fd, POLLIN, 0};
    if (::poll(&in, 1, static_cast<int>(timeout.count())) <= 0)
        return 0;
    return TakeEndSignals(fd);
}

std::string SignalName(int number)
{
    return std::string("SIG") + ::sigabbrev_np(number);
}

// Starts the capture thread and requests a run once it is alive, as the
// window's creation and Start do.
void StartCapture(FrameSink &sink)
{
    auto &flags = CaptureControl.flags;
    flags.store(FlagWord::kThreadEnded);
    TC1 *thread = new TC1(true);  // frees itself when it ends
    thread->Control = &CaptureControl;
    thread->Sink = &sink;
    thread->LogNamePrefix = kLogNamePrefix;
    thread->Start();
    while (flags.load() == FlagWord::kThreadEnded)
        SleepFor(kThreadPoll);
    flags.store(FlagWord::kStart);
}

// As "Стоп" and closing the window: the run ends, its log is written, the
// thread ends. A signal meanwhile (a second one) ends the program at once:
// a thread held by a stuck disk must not hold the program too; the journal
// keeps the lines for the next start.
void EndCapture(Reporter &reporter, int endSignals)
{
    auto &flags = CaptureControl.flags;
    flags.store(FlagWord::kEnd);
    while (flags.load() != FlagWord::kThreadEnded) {
        if (const int again = AwaitEndSignal(endSignals, kThreadPoll); again != 0) {
            reporter.Say(SignalName(again) + " again: ending at once, the journal keeps the lines for the next start");
            EndAtOnce(again);
        }
        reporter.Report();
    }
}

}  // namespace

std::optional<std::string> PrepareControl(const CommandLine &line, const std::string &programFolder)
{
    CaptureSetup setup;
    if (auto failure = ReadSetup(line, setup))
        return failure;
    std::string folder;
    if (auto failure = LogFolder(line, programFolder, folder))
        return failure;
    if (auto failure = CheckListPositions(setup))
        return failure;
    if (auto failure = CopyToControl(setup, CaptureControl))
        return failure;
    StoreText(CaptureControl.logPath, folder);
    return std::nullopt;
}

int RunBridge(const CommandLine &line)
{
    // A reader that goes away shows as EPIPE on the write, not as a signal.
    uint32_t code = 0;
    const int endSignals = std::signal(SIGPIPE, SIG_IGN) == SIG_ERR ? -1 : WatchEndSignals(code);
    if (endSignals < 0) {
        std::fprintf(stderr, "vektacand: cannot set up signal handling: %s\n", std::strerror(code ? code : errno));
        return kExitRunFailed;
    }
    std::string error;
    // Only --create needs a privilege; a root run keeps root's file access.
    if (!line.create && ::geteuid() != 0) {
        if (const int failure = DropCapabilities()) {
            std::fprintf(stderr, "vektacand: cannot drop capabilities: %s\n", std::strerror(failure));
            return kExitRunFailed;
        }
    }
    std::unique_ptr<CanSocketOutput> socket;
    if (!line.iface.empty()) {
        socket = std::make_unique<CanSocketOutput>(line.iface, line.create, line.anyInterface);
        if (auto failure = socket->Attach()) {
            std::fprintf(stderr, "vektacand: %s\n", failure->message.c_str());
            return failure->notVcan ? kExitBadInput : kExitRunFailed;
        }
    }
    std::unique_ptr<CandumpOutput> candump;
    if (line.candump) {
        candump = std::make_unique<CandumpOutput>(STDOUT_FILENO, line.iface.empty() ? "can0" : line.iface);
        if (!candump->Start(error)) {
            std::fprintf(stderr, "vektacand: %s\n", error.c_str());
            return kExitRunFailed;
        }
    }
    BridgeSink sink(socket.get(), candump.get());
    Reporter reporter(stderr, line.tty, sink);
    if (socket)
        reporter.AddOutput(line.iface, socket->delivery());
    if (candump)
        reporter.AddOutput("standard output", candump->delivery());
    reporter.Say("logs go to " + LoadText(CaptureControl.logPath));
    StartCapture(sink);
    std::string ending;
    bool readerGone = false;
    for (;;) {
        if (const int number = AwaitEndSignal(endSignals, kReportPeriod); number != 0) {
            ending = SignalName(number);
            break;
        }
        reporter.Report();
        if (candump && (readerGone = candump->ReaderGone())) {
            ending = "standard output: the reader has gone";
            break;
        }
    }
    reporter.Say(ending + ": stopping");
    EndCapture(reporter, endSignals);
    if (candump)
        candump->Finish();
    reporter.Report();
    reporter.Summary();
    return readerGone ? kExitReaderGone : 0;
}

}  // namespace vektacand
