// The capture subsystem: the record shared with the window and the capture thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "FrameSink.h"
#include "FrameTable.h"
#include "FrameTimeline.h"
#include "RelaxedAtomic.h"
#include "SerialDevice.h"
#include "capture/logstore/Journal.h"
#include "capture/logstore/LogBuffer.h"

constexpr size_t kTextFieldSize = 256;

// The log kept in memory is written as a cut writes it once it holds this much
// text, so that a capture of any length fits in memory.
constexpr size_t kLogWriteBytes = size_t{32} << 20;
// While writes fail the log keeps lines up to this much text; lines past it
// are counted as lost, and the log says so once writing works again.
constexpr size_t kLogKeepBytes = size_t{64} << 20;

// Whole-word values of flags that cross between the threads.
namespace FlagWord {
constexpr uint16_t kRunRequested = 0x0001;
constexpr uint16_t kCutLog = 0x0002;
constexpr uint16_t kThreadEnded = 0x2000;
constexpr uint16_t kAlive = 0x8000;
constexpr uint16_t kStart = 0x8001;
constexpr uint16_t kStartAndCut = 0x8003;
constexpr uint16_t kEnd = 0;
}  // namespace FlagWord

namespace CaptureState {
constexpr int32_t kIdle = 0;
constexpr int32_t kOpening = 1;
constexpr int32_t kReceiving = 4;
constexpr int32_t kInitialising = 6;
}  // namespace CaptureState

namespace ErrorKind {
constexpr int32_t kNone = 0;
constexpr int32_t kNoDevice = 1;
constexpr int32_t kNoEcu = 2;
constexpr int32_t kTxD = 7;
constexpr int32_t kRxD = 8;
}  // namespace ErrorKind

// The one record shared by the window and the capture thread. The window
// writes the parameters only at creation and at Start; the thread writes the
// reports and the table. portName is copied through StoreText/LoadText, which
// access it byte by byte atomically, because a Start may overlap the closing
// steps of a stopped run that still reads the name.
struct TCaptureControl {
    char logPath[kTextFieldSize];  // written once before the thread exists
    char portName[kTextFieldSize];
    RelaxedAtomic<uint32_t> rto;
    RelaxedAtomic<uint32_t> radr11;
    RelaxedAtomic<uint32_t> radr12;
    RelaxedAtomic<uint32_t> rmsk1;
    RelaxedAtomic<uint32_t> radr21;
    RelaxedAtomic<uint32_t> radr22;
    RelaxedAtomic<uint32_t> radr23;
    RelaxedAtomic<uint32_t> radr24;
    RelaxedAtomic<uint32_t> rmsk2;
    RelaxedAtomic<uint32_t> canBaud;
    RelaxedAtomic<uint32_t> samp;
    RelaxedAtomic<uint32_t> sjw;
    std::atomic<uint16_t> flags;
    std::atomic<int32_t> state;
    std::atomic<uint32_t> sysError;
    std::atomic<int32_t> errorKind;
    RelaxedAtomic<bool> adapterLog;
    RelaxedAtomic<bool> canLog;
    RelaxedAtomic<uint8_t> hardware;  // 0 = VEKTA, anything else = TRILOX
    FrameEntry frames[kFrameTableSize];
    std::atomic<uint16_t> frameCount;  // published with release after a new row is filled
    // Frames of identifiers that found the table full; they are counted here
    // instead of being written past its end.
    RelaxedAtomic<uint32_t> framesNotTabled;
    // Log lines turned away because the log could not be written and memory
    // held all it may; a running total.
    RelaxedAtomic<uint64_t> logLinesLost;
    // Capture runs that have ended, their log written; raised with release as
    // the run's last step, so a watcher knows a stopped run is really over.
    std::atomic<uint32_t> runsEnded;
};

extern TCaptureControl CaptureControl;

// Copies text into a shared text field (cut to 255 bytes, NUL-terminated).
void StoreText(char (&field)[kTextFieldSize], std::string_view text);
// Reads a shared text field written by StoreText.
std::string LoadText(const char (&field)[kTextFieldSize]);

// Puts a record back to its state at program start (zero-filled).
void ResetControl(TCaptureControl &control);

// The log text of an adapter-level error kind; empty for kinds without one.
std::string_view ErrorKindText(int32_t kind);

// A thread object in the manner of a classic toolkit thread: created suspended
// or running, started once, optionally freed when Execute returns.
class TThread {
public:
    TThread(const TThread &) = delete;
    TThread &operator=(const TThread &) = delete;
    virtual ~TThread() = default;

    // Starts a thread created suspended; calling it again does nothing.
    void Start();

    bool FreeOnTerminate = false;

protected:
    TThread() = default;
    // The most-derived class calls this at the end of its constructor, so that
    // a thread created running never sees a half-built object.
    void AfterConstruction(bool createSuspended);
    virtual void Execute() = 0;

private:
    static void ThreadProc(TThread *self);
    bool started_ = false;
};

// The capture thread: owns the serial port and the log, runs capture runs.
class TC1 final : public TThread {
public:
    explicit TC1(bool createSuspended);

    TCaptureControl *Control = nullptr;
    // Set before Start, or never: every frame and change of state also goes here.
    FrameSink *Sink = nullptr;
    // Set before Start to capture without a journal (for comparing its cost);
    // journals left by others are recovered all the same.
    bool UseJournal = true;
    // Set before Start: put before the log files' names (DDMMYY_hhmmss.log),
    // so that programs sharing a folder never write into one file.
    std::string LogNamePrefix;

    // Capture-run driver.
    void RunCapture();

    // Serial link.
    void OpenPort();
    void ClosePort();
    void SetPortSpeed(uint32_t speed);
    bool SendCommand(uint8_t command, uint8_t length, const uint8_t *data);
    bool ReadReply(uint8_t *buffer, uint16_t &length);
    bool ReadFrame(uint8_t *data, uint8_t &length, uint32_t &identifier, uint32_t firstByteWaitMs);

    // Adapter initialisation.
    bool InitAdapter();
    int32_t SetCanSpeed(uint32_t rate, uint32_t samplePoint, uint32_t sjwPercent);

    // Capture log.
    void AddLogLine(std::string_view message);
    static std::string HexDump(const uint8_t *buffer, int first, int last);
    bool SaveLog();

    // Reception.
    void ReceiveCan();

    // Owned by this thread alone.
    LogBuffer logBuffer;
    uint32_t logTimeBase = 0;
    SerialDevice port;
    LineConfig lineConfig;
    PortTimeouts portTimeouts;
    FrameIndex frameIndex;

protected:
    void Execute() override;

private:
    void GuardedRun();
    void EndBrokenRun(uint32_t code);
    void RunAttempts();
    void LogRunErrors();
    bool ConfigurePort();
    bool ApplyReadWait(uint32_t waitMs);
    bool ReadLineByte(uint8_t &byte);
    std::string PortSettingsText() const;
    std::string SettingsLine() const;
    bool RunRequested() const;
    void EmptyFrameTable();
    void LogCanFrame(uint32_t identifier, const uint8_t *data, uint8_t length);
    void SetState(int32_t state);
    void HandToSink(uint32_t identifier, const uint8_t *data, uint8_t length);
    uint32_t ElapsedMs();
    void KeepLine(uint32_t elapsedMs, std::string_view message);
    bool LogWriteDue() const;
    bool NoteLostLines();
    void KeepUnsaved(const std::string &path, uint32_t code);
    void SavedAgain();
    void OpenJournal();
    void CloseJournal();
    void FeedJournal(bool hurry);
    void FeedJournalBeforeWait();
    void RestartJournal(WrittenLog logFile);
    void NoteJournalState(uint32_t code);
    BeforeAppend JournalSeal(const std::string &logName);
    void JournalUnseal();
    void LogFromJournal(const std::string &path, uint32_t logWriteError);
    void KeepJournalled();

    // What ReadFrame read last: a frame message (also one without data
    // bytes, which the table leaves out and the sink takes), and its width.
    bool frameRead_ = false;
    bool lineFailed_ = false;  // a read or its time-outs failed: the port is gone
    bool frameExtended_ = false;
    // The times handed with the frames; none lies before the one before.
    FrameTimeline frameTimes_;
    // Set while the log holds lines that a failed write could not store.
    bool logUnsaved_ = false;
    // The failed write's code and moment, for the window and for pacing.
    uint32_t logFailure_ = 0;
    uint32_t logFailedAt_ = 0;
    // Lines lost past the hard limit since the log was last written.
    struct LostLines {
        uint64_t count = 0;
        uint32_t firstMs = 0;
        uint32_t lastMs = 0;
    } lostLines_;

    // The journal of this thread's runs, from the thread's start to its end.
    std::unique_ptr<Journal> journal_;
    size_t journalMark_ = 0;       // bytes of logBuffer handed over since it was emptied
    uint32_t journalFedAt_ = 0;    // millisecond clock at the last hand-over
    bool journalFailing_ = false;  // set while the journal cannot be written
    uint32_t journalFailure_ = 0;
};

// The first-byte wait of a reception read for an RTO value.
uint32_t FirstByteWait(uint32_t rtoMs);
