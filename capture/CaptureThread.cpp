// The capture thread's life: idle polling, capture runs with their retries,
// and the end handshake with the window.
#include <chrono>
#include <new>

#include "Clock.h"
#include "Unit2.h"
#include "capture/logstore/LogText.h"
#include "common/ErrorText.h"

namespace {
constexpr auto kIdlePoll = std::chrono::milliseconds(20);
constexpr auto kTimerSettle = std::chrono::milliseconds(20);
constexpr auto kRetryPause = std::chrono::milliseconds(300);
}  // namespace

TC1::TC1(bool createSuspended)
{
    AfterConstruction(createSuspended);
}

void TC1::Execute()
{
    FreeOnTerminate = true;
    logBuffer.Clear();
    EmptyFrameTable();
    // Alive; a Start written in the moment before this thread came up stands.
    const uint16_t kRequests = FlagWord::kRunRequested | FlagWord::kCutLog;
    uint16_t seen = Control->flags.load();
    while (!Control->flags.compare_exchange_weak(seen, static_cast<uint16_t>((seen & kRequests) | FlagWord::kAlive))) {
    }

    // Logged on every platform, so that a log reads alike wherever it was
    // made; Linux has no adjustable timer and shows the kernel's fixed
    // resolution. A run's start clears the buffer, so no file gets them.
    const TimerResolution resolution = QueryTimerResolution();
    AddLogLine("Windows System Timer Settings: Min: " + FormatPeriod(resolution.finest) + "ms Max: " +
               FormatPeriod(resolution.coarsest) + "ms Current: " + FormatPeriod(resolution.current) + "ms");
    uint32_t actual = SetTimerResolution(resolution.finest, true);
    SleepFor(kTimerSettle);
    AddLogLine("Update Windows System Timer: Request: " + FormatPeriod(resolution.finest) +
               "ms Result: " + FormatPeriod(actual) + "ms");
    OpenJournal();

    while (Control->flags.load() != FlagWord::kEnd) {
        if (Control->flags.load() & FlagWord::kRunRequested)
            GuardedRun();
        SleepFor(kIdlePoll);
    }

    // One more try, so that no captured line is lost; before the thread's own
    // end lines, which never reach a file.
    if (logUnsaved_)
        SaveLog();
    CloseJournal();
    actual = SetTimerResolution(0, false);
    SleepFor(kTimerSettle);
    AddLogLine("Restore Windows System Timer: Result: " + FormatPeriod(actual) + "ms ");
    logBuffer = LogBuffer();
    Control->flags.store(FlagWord::kThreadEnded);  // the last touch of the shared record
}

void TC1::GuardedRun()
{
    try {
        RunCapture();
    } catch (const std::bad_alloc &) {
        EndBrokenRun(OutOfMemoryError());
    } catch (...) {
        EndBrokenRun(InputOutputError());
    }
    Control->runsEnded.fetch_add(1, std::memory_order_release);
}

// A run that broke off still leaves the port closed and its requests served,
// and the thread goes on to idle; the window shows why. Its lines wait for
// the next write, as after a failed one.
void TC1::EndBrokenRun(uint32_t code)
{
    port.Close();
    Control->sysError = code;
    SetState(CaptureState::kIdle);
    logUnsaved_ = true;
    try {
        AddLogLine(SystemErrorText(code));
        FeedJournal(true);
    } catch (...) {
        // Out of memory even for the reason: the lines kept so far still stand.
    }
    Control->flags.fetch_and(FlagWord::kAlive);
}

void TC1::RunCapture()
{
    // Lines a failed write kept stay for the next one.
    if (!logUnsaved_) {
        logTimeBase = MillisecondClock();
        logBuffer.Clear();
        RestartJournal({});
    }
    RunAttempts();
    SaveLog();
    // The two "Continue" lines a run leaves reach a file only after a cut
    // no run will make: the next run empties the log, the thread's end drops it.
    if (!logUnsaved_)
        journalMark_ = logBuffer.TextBytes();
    else
        FeedJournal(true);
    Control->flags.fetch_and(FlagWord::kAlive);
}

void TC1::RunAttempts()
{
    for (;;) {
        Control->sysError = 0;
        Control->errorKind = ErrorKind::kNone;
        OpenPort();
        if (Control->sysError == 0 && InitAdapter())
            ReceiveCan();
        LogRunErrors();
        ClosePort();
        if (!RunRequested())
            return;
        if (LogWriteDue())
            SaveLog();
        FeedJournalBeforeWait();
        SleepFor(kRetryPause);
    }
}

void TC1::LogRunErrors()
{
    if (const uint32_t code = Control->sysError)
        AddLogLine(SystemErrorText(code));
    if (const std::string_view text = ErrorKindText(Control->errorKind); !text.empty())
        AddLogLine(text);
}
