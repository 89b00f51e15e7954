#include "Journal.h"

#include <atomic>
#include <chrono>
#include <utility>

#include "LogText.h"

namespace {

using Clock = std::chrono::steady_clock;

// Unique among the capture threads of one program (a running number) and,
// by random digits, among programs, even ones of one process id (reused, or
// in another PID namespace) that no one can foresee; the file is made only
// where no file was.
std::string JournalPath(const std::string &folder)
{
    static std::atomic<uint32_t> made{0};
    uint8_t random[Journal::kRandomBytes] = {};
    if (RandomBytes(random, sizeof random) != 0) {
        // No random source: the clock still tells two programs apart, and
        // the exclusive create keeps any collision harmless.
        const auto now = static_cast<uint64_t>(Clock::now().time_since_epoch().count());
        for (size_t i = 0; i < sizeof random; ++i)
            random[i] = static_cast<uint8_t>(now >> (8 * i));
    }
    char digits[2 * Journal::kRandomBytes];
    char *at = digits;
    for (const uint8_t byte : random)
        at = WriteHexDigits(at, byte, 2);
    return folder + std::string(Journal::kPrefix) + std::to_string(CurrentProcessId()) + "-" + std::to_string(made++) +
           "-" + std::string(digits, sizeof digits) + std::string(Journal::kSuffix);
}

}  // namespace

Journal::Journal(const std::string &folder) : path_(JournalPath(folder)), writer_(&Journal::Run, this)
{
}

Journal::~Journal()
{
    Close(true);
}

uint32_t Journal::HandOver(const LogBuffer &buffer, size_t offset, bool hurry)
{
    std::lock_guard lock(mutex_);
    if (std::exchange(resend_, false))
        offset = 0;
    buffer.AppendTextFrom(offset, pending_);
    hurry_ = hurry_ || hurry;
    // A writer that waits for its pace takes the text then; waking it for
    // every hand-over would cost a wake-up each time.
    if (idle_ || hurry)
        wake_.notify_one();
    return failure_;
}

void Journal::Restart(WrittenLog logFile)
{
    {
        std::lock_guard lock(mutex_);
        pending_.clear();
        resend_ = false;
        restart_ = true;
        standAside_ = false;
        hurry_ = true;
        if (logFile.Held())
            logFiles_.push_back(std::move(logFile));
        ++generation_;
        wake_.notify_one();
    }
    EmptyNow();
}

void Journal::StandAside()
{
    {
        std::lock_guard lock(mutex_);
        pending_.clear();
        resend_ = false;
        standAside_ = true;
        hurry_ = true;
        ++generation_;
        wake_.notify_one();
    }
    EmptyNow();
}

// A failure here is the writer's to meet: it empties the journal again
// before it writes to it.
void Journal::EmptyNow()
{
    std::lock_guard fileLock(fileMutex_);
    if (file_.IsOpen())
        static_cast<void>(file_.Resize(0));
}

void Journal::Close(bool keep)
{
    if (!writer_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        keep_ = keep;
        wake_.notify_one();
    }
    writer_.join();
}

bool Journal::HasWork() const
{
    return restart_ || standAside_ || !pending_.empty() || !logFiles_.empty() || !unwritten_.empty() ||
           !unsynced_.empty() || dirty_;
}

// Under the lock: what the capture thread asked for since the last batch.
Journal::Batch Journal::Take()
{
    Batch batch;
    batch.generation = generation_.load();
    batch.restart = std::exchange(restart_, false);
    batch.standAside = std::exchange(standAside_, false);
    batch.logFiles.swap(logFiles_);
    hurry_ = false;
    if (batch.restart || batch.standAside)
        unwritten_.clear();  // in a log file already, or no room for it
    if (unwritten_.empty()) {
        unwritten_.swap(pending_);
    } else {
        unwritten_ += pending_;
        pending_.clear();
    }
    return batch;
}

void Journal::Run()
{
    std::unique_lock lock(mutex_);
    auto next = Clock::now();
    while (!stop_) {
        if (!HasWork()) {
            idle_ = true;
            wake_.wait(lock);
            idle_ = false;
            continue;
        }
        if (!hurry_ && Clock::now() < next) {
            wake_.wait_until(lock, next);
            continue;
        }
        Batch batch = Take();
        lock.unlock();
        next = Clock::now() + kPace;
        const uint32_t code = Write(batch);
        lock.lock();
        failure_ = code;
    }
    Batch last = Take();
    lock.unlock();
    Finish(last);
}

uint32_t Journal::EnsureOpen()
{
    if (file_.IsOpen() && !file_.Removed())
        return 0;
    if (file_.IsOpen()) {
        // Its folder went away: a new file needs every line again.
        file_.Close();
        unwritten_.clear();
        std::lock_guard lock(mutex_);
        pending_.clear();
        resend_ = true;
    }
    bool held = false;
    if (const uint32_t code = file_.Open(path_, true, held))
        return code;
    durableBytes_ = 0;
    dirty_ = true;
    return 0;
}

// Cuts the file to its good length and appends the text, unless a Restart
// came after the batch was taken: its text is in a log file then.
uint32_t Journal::Put(uint64_t generation, bool &put)
{
    put = false;
    std::lock_guard fileLock(fileMutex_);
    if (generation != generation_.load())
        return 0;
    if (const uint32_t code = EnsureOpen())
        return code;
    if (unwritten_.empty() && !dirty_)
        return 0;  // the file was gone; the lines come again with the next hand-over
    put = true;
    if (dirty_) {
        if (const uint32_t code = file_.Resize(durableBytes_))
            return code;
    }
    dirty_ = true;  // until the sync says otherwise
    return file_.Append(unwritten_.data(), unwritten_.size());
}

uint32_t Journal::Write(Batch &batch)
{
    for (WrittenLog &logFile : batch.logFiles)
        unsynced_.push_back(std::move(logFile));
    batch.logFiles.clear();
    if (batch.restart || batch.standAside) {
        durableBytes_ = 0;
        dirty_ = file_.IsOpen();
        aside_ = batch.standAside;
    }
    // The log files first: the emptied journal must not reach the disk
    // before the files that now hold its lines. One that cannot be synced
    // now is tried again with the next batch; the new lines still go to the
    // journal meanwhile.
    const uint32_t logCode = SyncLogFiles();
    if (aside_)
        unwritten_.clear();
    if (unwritten_.empty() && !dirty_)
        return logCode;
    bool put = false;
    if (const uint32_t code = Put(batch.generation, put); code != 0 || !put)
        return code != 0 ? code : logCode;
    if (const uint32_t code = file_.Sync())
        return code;
    durableBytes_ += unwritten_.size();
    unwritten_.clear();
    dirty_ = false;
    return logCode;
}

uint32_t Journal::SyncLogFiles()
{
    uint32_t firstError = 0;
    std::vector<WrittenLog> failed;
    for (WrittenLog &logFile : unsynced_) {
        if (const uint32_t code = logFile.Sync()) {
            failed.push_back(std::move(logFile));
            if (firstError == 0)
                firstError = code;
        }
    }
    unsynced_.swap(failed);  // those synced close here
    return firstError;
}

// A kept journal gets one last try at what it was handed; a finished one
// goes once the log files that hold its lines are durable.
void Journal::Finish(Batch &last)
{
    if (keep_) {
        static_cast<void>(Write(last));  // recovery takes what did reach the file
        std::lock_guard fileLock(fileMutex_);
        file_.Close();
        return;
    }
    last.restart = true;
    unwritten_.clear();
    static_cast<void>(Write(last));
    std::lock_guard fileLock(fileMutex_);
    if (file_.IsOpen())
        static_cast<void>(file_.RemoveAndClose(path_));  // a journal left behind would only be recovered
}
