// The journal: the log lines held in memory, also on disk within about a
// second, so that a crash, a kill or a power cut costs at most that much.
//
// Design: the capture thread owns the log; at most about once a second (at
// once at the bound, before it waits on the line, and when a write fails) it
// hands the text added since its last hand-over to pending_, under mutex_, as
// pieces of the log's own blocks, shared rather than copied. A writer thread
// of the journal's own takes pending_ (a swap), then appends and syncs it
// with the mutex released, at most once per kPace unless asked to hurry; so
// the capture thread never waits on the disk, only on the writer's brief swap
// and an append into the page cache. The writer lets go of the pieces once
// appended; a sync that fails asks for the text again from the last durable
// byte, for the system may call the next sync good without the bytes.
//
// A log write seals the journal first: under the log file's lock, before a
// byte goes into the log, the journal's last line names the log file and the
// byte at which the journal's lines start in it, and the journal takes no
// more lines (Seal). After the write the sealed file is set aside and the
// next lines go to a new journal file (Restart); the writer syncs the sealed
// journal, then the log file and its folder entry, and only then removes the
// sealed journal. So nothing leaves the journal before the log's bytes are
// durable, and recovery, finding a sealed journal, takes from it only what
// its log file does not hold: a kill or a power cut at any moment of a write
// gives neither a loss nor a line twice. A sync that fails is never trusted
// again: its sealed journal stays for recovery. A generation count keeps a
// batch taken before the Restart out of the new file. A log write that
// fails for want of space makes the journal's file the log (BecomeLog); only
// there does the capture thread wait for a sync, the disk being full anyway.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "JournalFile.h"
#include "LogBuffer.h"
#include "LogFile.h"

class Journal {
public:
    static constexpr uint32_t kPaceMs = 1000;
    static constexpr auto kPace = std::chrono::milliseconds(kPaceMs);
    // Journal names are vektamon-<process id>-<n>-<16 hex digits>.journal;
    // recovery takes no other name.
    static constexpr std::string_view kPrefix = "vektamon-";
    static constexpr std::string_view kSuffix = ".journal";
    static constexpr size_t kRandomBytes = 8;
    // What recovery cannot take is renamed to its name with this added.
    static constexpr std::string_view kAsideSuffix = ".bad";
    // More than a journal ever holds (the log's in-memory limit and a few
    // lines about it): a larger file is no journal of ours.
    static constexpr uint64_t kMostBytes = uint64_t{65} << 20;
    // The sealing line: "Logged in <log file name> from byte <offset>".
    static constexpr std::string_view kSealStart = "Logged in ";
    static constexpr std::string_view kSealFrom = " from byte ";

    // The journal of this program's capture thread in a log folder; the file
    // is made with the first text handed over.
    explicit Journal(const std::string &folder);
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    // The file the next lines go to.
    std::string Path();

    // Takes the buffer's bytes from offset on (from its start instead, when
    // the writer found its file gone and needs them all again); hurry writes
    // them without waiting for the pace. Answers 0, or the error of the
    // writer's latest attempt.
    uint32_t HandOver(const LogBuffer &buffer, size_t offset, bool hurry);
    // Called right before everything handed over is appended to the log file
    // logName of the journal's folder, from byte offset on: the journal's
    // last line says so, and it takes no more lines until Restart or Unseal.
    uint32_t Seal(std::string_view logName, uint64_t offset);
    // The log write after Seal failed: the journal goes on as before it.
    void Unseal();
    // The disk is too full for the log write: the journal's file, whose bytes
    // are the log's first ones, becomes the log file logPath (when no file
    // has that name yet) without taking new space, and is made durable there.
    // logged tells how many bytes of the log it holds; the next lines, from
    // there on, go to a new journal file.
    uint32_t BecomeLog(const std::string &logPath, uint64_t &logged);
    // Everything handed over is now in the log file logFile (none held when
    // nothing was written): the next lines go to a new journal file. The
    // sealed one goes once the log file is durable, synced through logFile
    // wherever the file has gone by then.
    void Restart(WrittenLog logFile);
    // Ends the writer. With keep, what was handed over is written first and
    // the file stays for recovery; otherwise it is removed.
    void Close(bool keep);

private:
    // A sealed journal file and the log file that holds its lines; either
    // may be missing (nothing was journalled, or nothing logged).
    struct Sealed {
        std::shared_ptr<JournalFile> file;
        std::string path;
        WrittenLog log;
    };
    // What the writer does with one batch, outside the lock.
    struct Batch {
        uint64_t generation = 0;
        bool restart = false;
        std::vector<Sealed> sealed;
    };
    void Run();
    bool HasWork() const;
    Batch Take();
    void RestartWriter();
    uint32_t Write(Batch &batch);
    uint32_t Put(uint64_t generation, bool &put, uint64_t &length);
    void KeepWholeLines();
    uint32_t SettleSealed();
    uint32_t SyncCurrent();
    void AskAgain(uint64_t generation);
    uint32_t EnsureOpen();
    void Finish(Batch &last);

    const std::string folder_;

    std::mutex mutex_;
    std::condition_variable wake_;
    // Shared with the capture thread, under mutex_.
    std::vector<LogBuffer::SharedPiece> pending_;
    std::vector<Sealed> sealed_;  // set aside since the writer last looked
    bool restart_ = false;
    bool hurry_ = false;
    bool stop_ = false;
    bool idle_ = false;                 // the writer waits with nothing to do
    std::optional<size_t> resendFrom_;  // the writer needs the text again from there
    bool keep_ = false;
    uint32_t failure_ = 0;
    // Raised by every Restart, before the journal file is set aside.
    std::atomic<uint64_t> generation_{0};

    // The current file: opened, sealed, set aside, cut and appended to under
    // fileMutex_, synced without it (through a copy of the pointer).
    std::mutex fileMutex_;
    std::string path_;
    std::shared_ptr<JournalFile> file_;
    bool sealing_ = false;            // sealed or about to be: no lines go in
    std::optional<uint64_t> sealAt_;  // where the sealing line starts
    uint64_t wholeBytes_ = 0;         // the length of the whole lines in the file
    bool tornTail_ = false;           // bytes past wholeBytes_ may be in the file

    // The writer's own.
    std::vector<LogBuffer::SharedPiece> unwritten_;  // taken from pending_, not yet appended
    std::vector<Sealed> settling_;                   // sealed journals whose logs are not durable yet
    std::vector<Sealed> distrusted_;                 // a sync failed: they stay for recovery
    uint64_t durableBytes_ = 0;                      // the journal's length after its last good sync
    bool dirty_ = false;                             // appended or cut since the last good sync

    std::thread writer_;  // last: starts once everything above is built
};

// Whether name is one a journal is given (older programs' names without the
// random digits too).
bool IsJournalName(std::string_view name);

// Writes out every journal in a log folder that no running program holds
// (left by one that did not end normally), oldest first, and removes it: a
// sealed one completes its log file with what that does not hold yet, any
// other goes into the log file named after the journal's last change; what
// was added is closed by one line saying so. A journal that is not all log
// lines gives the lines before the first other one and is renamed aside.
// Answers 0 or the first error met; a journal whose lines could not be
// written stays for the next try.
uint32_t RecoverJournals(const std::string &folder);
