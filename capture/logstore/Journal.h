// The journal: the log lines held in memory, also on disk within about a
// second, so that a crash, a kill or a power cut costs at most that much.
//
// Design: the capture thread owns the log; at most about once a second (at
// once at the bound, before it waits on the line, and when a write fails) it
// copies the bytes added since its last hand-over into pending_, under
// mutex_. A writer thread of the journal's own takes pending_ (a swap), then
// appends and syncs it with the mutex released, at most once per kPace unless
// asked to hurry; so the capture thread never waits on the disk, only on the
// writer's brief swap. After a log file is written the capture thread calls
// Restart, which empties the journal at once (a cut to length 0, waiting at
// most for an append into the page cache, never for a sync), so a killed
// program never leaves lines in both places; the writer syncs the log file
// before it syncs the emptied journal, so a power cut never finds them in
// neither. It syncs each log through the handle the write left open, so a
// log moved away meanwhile is still synced; one whose sync fails is tried
// again with every batch, and the new lines go to the journal meanwhile. A
// generation count keeps a batch taken before the Restart out of the
// emptied journal.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
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

    // The journal of this program's capture thread in a log folder; the file
    // is made with the first text handed over.
    explicit Journal(const std::string &folder);
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    const std::string &Path() const { return path_; }

    // Takes the buffer's bytes from offset on (from its start instead, when
    // the writer found its file gone and needs them all again); hurry writes
    // them without waiting for the pace. Answers 0, or the error of the
    // writer's latest attempt.
    uint32_t HandOver(const LogBuffer &buffer, size_t offset, bool hurry);
    // Everything handed over is now in the log file logFile (none held when
    // nothing was written): the journal starts empty again. The writer syncs
    // the file through it, wherever the file has gone by then, and closes it.
    void Restart(WrittenLog logFile);
    // The log file could not be written for want of space: the journal gives
    // its room back and writes nothing until the next Restart.
    void StandAside();
    // Ends the writer. With keep, what was handed over is written first and
    // the file stays for recovery; otherwise it is removed.
    void Close(bool keep);

private:
    // What the writer does with one batch, outside the lock.
    struct Batch {
        uint64_t generation = 0;
        bool restart = false;
        bool standAside = false;
        std::vector<WrittenLog> logFiles;
    };
    void Run();
    bool HasWork() const;
    Batch Take();
    uint32_t Write(Batch &batch);
    uint32_t Put(uint64_t generation, bool &put);
    uint32_t SyncLogFiles();
    uint32_t EnsureOpen();
    uint32_t Empty();
    void Finish(Batch &last);
    void EmptyNow();

    const std::string path_;

    std::mutex mutex_;
    std::condition_variable wake_;
    // Shared with the capture thread, under mutex_.
    std::string pending_;
    std::vector<WrittenLog> logFiles_;  // written since the journal last emptied
    bool restart_ = false;
    bool standAside_ = false;
    bool hurry_ = false;
    bool stop_ = false;
    bool idle_ = false;    // the writer waits with nothing to do
    bool resend_ = false;  // the writer needs the whole buffer again
    bool keep_ = false;
    uint32_t failure_ = 0;
    // Raised by every Restart and StandAside, before the journal is emptied.
    std::atomic<uint64_t> generation_{0};

    // The file: opened, closed, cut and appended to under fileMutex_, synced
    // without it.
    std::mutex fileMutex_;
    JournalFile file_;

    // The writer's own.
    std::string unwritten_;             // taken from pending_, not yet durable
    std::vector<WrittenLog> unsynced_;  // log files to sync before the journal empties
    uint64_t durableBytes_ = 0;         // the journal's length after its last good sync
    bool dirty_ = false;                // a failed attempt may have left bytes past durableBytes_
    bool aside_ = false;

    std::thread writer_;  // last: starts once everything above is built
};

// Whether name is one a journal is given (older programs' names without the
// random digits too).
bool IsJournalName(std::string_view name);

// Writes out every journal in a log folder that no running program holds
// (left by one that did not end normally) into the log file named after the
// journal's last change, closed by one line saying so, and removes it.
// A journal that is not all log lines gives the lines before the first other
// one and is renamed aside. Answers 0 or the first error met; a journal whose
// lines could not be written stays for the next try.
uint32_t RecoverJournals(const std::string &folder);
