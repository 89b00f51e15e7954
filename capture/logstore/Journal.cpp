#include "Journal.h"

#include <algorithm>
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

Journal::Journal(const std::string &folder) : folder_(folder), path_(JournalPath(folder)), writer_(&Journal::Run, this)
{
}

Journal::~Journal()
{
    Close(true);
}

std::string Journal::Path()
{
    std::lock_guard fileLock(fileMutex_);
    return path_;
}

uint32_t Journal::HandOver(const LogBuffer &buffer, size_t offset, bool hurry)
{
    std::lock_guard lock(mutex_);
    if (resendFrom_)
        offset = std::min(offset, *std::exchange(resendFrom_, std::nullopt));
    buffer.SharePiecesFrom(offset, pending_);
    hurry_ = hurry_ || hurry;
    // A writer that waits for its pace takes the text then; waking it for
    // every hand-over would cost a wake-up each time.
    if (idle_ || hurry)
        wake_.notify_one();
    return failure_;
}

uint32_t Journal::Seal(std::string_view logName, uint64_t offset)
{
    std::lock_guard fileLock(fileMutex_);
    sealing_ = true;
    if (!file_)
        return 0;  // nothing journalled: the log alone holds the lines
    if (sealAt_) {
        // An earlier seal could not be taken back: this one replaces it.
        if (const uint32_t code = file_->Resize(*sealAt_))
            return code;
        sealAt_.reset();
    }
    if (tornTail_) {
        if (const uint32_t code = file_->Resize(wholeBytes_))
            return code;
        tornTail_ = false;
    }
    const std::string line =
        std::string(kSealStart) + std::string(logName) + std::string(kSealFrom) + std::to_string(offset) + "\r\n";
    if (const uint32_t code = file_->Append(line.data(), line.size())) {
        if (file_->Resize(wholeBytes_) != 0)
            sealAt_ = wholeBytes_;  // taken back by the next seal, or set aside by the next restart
        return code;
    }
    sealAt_ = wholeBytes_;
    return 0;
}

void Journal::Unseal()
{
    std::lock_guard fileLock(fileMutex_);
    if (sealAt_ && file_->Resize(*sealAt_) == 0)
        sealAt_.reset();
    // A sealing line that stays keeps the lines out until the next seal.
    sealing_ = sealAt_.has_value();
}

// Before the file goes: a batch taken earlier never reaches the next one.
void Journal::RestartWriter()
{
    std::lock_guard lock(mutex_);
    pending_.clear();
    resendFrom_.reset();
    restart_ = true;
    hurry_ = true;
    ++generation_;
}

void Journal::Restart(WrittenLog logFile)
{
    RestartWriter();
    Sealed sealed;
    sealed.log = std::move(logFile);
    {
        std::lock_guard fileLock(fileMutex_);
        if (file_ && sealAt_) {
            sealed.file = std::move(file_);
            sealed.path = std::exchange(path_, JournalPath(folder_));
        } else if (file_) {
            // Nothing was logged (logging is off): nothing keeps the lines.
            static_cast<void>(file_->Resize(0));
        }
        sealing_ = false;
        sealAt_.reset();
        wholeBytes_ = 0;
        tornTail_ = false;
    }
    if (!sealed.file && !sealed.log.Held())
        return;
    std::lock_guard lock(mutex_);
    sealed_.push_back(std::move(sealed));
    wake_.notify_one();
}

uint32_t Journal::BecomeLog(const std::string &logPath, uint64_t &logged)
{
    logged = 0;
    {
        std::lock_guard fileLock(fileMutex_);
        if (!file_ || sealing_ || wholeBytes_ == 0)
            return 0;
        if (tornTail_) {
            if (const uint32_t code = file_->Resize(wholeBytes_))
                return code;
            tornTail_ = false;
        }
        // Durable before it is the log: the lines are dropped from memory then.
        if (const uint32_t code = file_->Sync())
            return code;
        if (const uint32_t code = file_->Rename(path_, logPath))
            return code;  // the name is taken, most likely: the next write tries a new one
        file_.reset();
        path_ = JournalPath(folder_);
        logged = std::exchange(wholeBytes_, 0);
        sealing_ = true;  // until the writer forgets the lines it was handed
    }
    RestartWriter();
    {
        std::lock_guard fileLock(fileMutex_);
        sealing_ = false;
    }
    // Its new name is durable with the folder; should that fail, recovery
    // finds the lines under the one name or the other.
    return SyncFolder(folder_);
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
    return restart_ || !sealed_.empty() || !pending_.empty() || !unwritten_.empty() || !settling_.empty() || dirty_;
}

// Under the lock: what the capture thread asked for since the last batch.
Journal::Batch Journal::Take()
{
    Batch batch;
    batch.generation = generation_.load();
    batch.restart = std::exchange(restart_, false);
    batch.sealed.swap(sealed_);
    hurry_ = false;
    if (batch.restart)
        unwritten_.clear();  // in a log file already
    if (unwritten_.empty()) {
        unwritten_.swap(pending_);
    } else {
        unwritten_.insert(unwritten_.end(), pending_.begin(), pending_.end());
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

// Under fileMutex_.
uint32_t Journal::EnsureOpen()
{
    if (file_ && !file_->Removed())
        return 0;
    if (file_) {
        // Its folder went away: a new file needs every line again.
        file_.reset();
        unwritten_.clear();
        std::lock_guard lock(mutex_);
        pending_.clear();
        resendFrom_ = 0;
    }
    auto file = std::make_shared<JournalFile>();
    bool held = false;
    if (const uint32_t code = file->Open(path_, true, held))
        return code;
    file_ = std::move(file);
    wholeBytes_ = 0;
    tornTail_ = false;
    durableBytes_ = 0;
    dirty_ = true;
    return 0;
}

// Cuts the file to its whole lines and appends the text, unless a Restart
// came after the batch was taken (its text is in a log file then) or a seal
// keeps the lines out. length is the file's length of whole lines then.
uint32_t Journal::Put(uint64_t generation, bool &put, uint64_t &length)
{
    put = false;
    std::lock_guard fileLock(fileMutex_);
    if (generation != generation_.load() || sealing_)
        return 0;
    if (const uint32_t code = EnsureOpen())
        return code;
    if (unwritten_.empty() && !dirty_)
        return 0;  // the file was gone; the lines come again with the next hand-over
    put = true;
    length = wholeBytes_;
    if (tornTail_) {
        if (const uint32_t code = file_->Resize(wholeBytes_))
            return code;
        tornTail_ = false;
    }
    dirty_ = true;  // until the sync says otherwise
    for (size_t i = 0; i < unwritten_.size(); ++i) {
        if (const uint32_t code = file_->Append(unwritten_[i].bytes, unwritten_[i].size)) {
            unwritten_.erase(unwritten_.begin(), unwritten_.begin() + static_cast<std::ptrdiff_t>(i));
            KeepWholeLines();
            length = wholeBytes_;
            return code;
        }
        wholeBytes_ += unwritten_[i].size;  // a piece is whole lines
    }
    unwritten_.clear();  // the blocks may go: a failed sync asks for the text again
    length = wholeBytes_;
    return 0;
}

// After a failed append, under fileMutex_, with unwritten_ starting at the
// piece that failed: the whole lines that did reach the file stay in it (on
// a full disk, as many as fit), the rest is cut off and stays to be appended.
void Journal::KeepWholeLines()
{
    constexpr std::string_view kLineEnd = "\r\n";
    uint64_t size = 0;
    tornTail_ = true;
    if (file_->Size(size) != 0 || size <= wholeBytes_)
        return;
    uint64_t reached = size - wholeBytes_;
    size_t pieces = 0;
    uint64_t kept = 0;
    for (; pieces < unwritten_.size() && reached >= unwritten_[pieces].size; ++pieces) {
        kept += unwritten_[pieces].size;
        reached -= unwritten_[pieces].size;
    }
    size_t partKept = 0;
    if (pieces < unwritten_.size()) {
        const std::string_view part(unwritten_[pieces].bytes, static_cast<size_t>(reached));
        const size_t lastEnd = part.rfind(kLineEnd);
        partKept = lastEnd == std::string_view::npos ? 0 : lastEnd + kLineEnd.size();
    }
    if (file_->Resize(wholeBytes_ + kept + partKept) != 0)
        return;
    tornTail_ = false;
    wholeBytes_ += kept + partKept;
    unwritten_.erase(unwritten_.begin(), unwritten_.begin() + static_cast<std::ptrdiff_t>(pieces));
    if (partKept > 0) {
        unwritten_.front().bytes += partKept;
        unwritten_.front().size -= partKept;
    }
}

uint32_t Journal::SyncCurrent()
{
    std::shared_ptr<JournalFile> file;
    {
        std::lock_guard fileLock(fileMutex_);
        file = file_;
    }
    return file ? file->Sync() : 0;
}

uint32_t Journal::Write(Batch &batch)
{
    for (Sealed &sealed : batch.sealed)
        settling_.push_back(std::move(sealed));
    batch.sealed.clear();
    if (batch.restart) {
        std::lock_guard fileLock(fileMutex_);
        durableBytes_ = 0;
        dirty_ = file_ != nullptr;  // a file kept (nothing logged) was cut to nothing
    }
    const uint32_t logCode = SettleSealed();
    if (unwritten_.empty() && !dirty_)
        return logCode;
    bool put = false;
    uint64_t length = 0;
    const uint32_t putCode = Put(batch.generation, put, length);
    if (!put)
        return putCode != 0 ? putCode : logCode;
    // What did go in is synced even when not all did (a full disk).
    if (const uint32_t code = SyncCurrent()) {
        AskAgain(batch.generation);
        return code;
    }
    durableBytes_ = length;
    dirty_ = false;
    return putCode != 0 ? putCode : logCode;
}

// After a failed sync: the bytes since the last good one are written again,
// from the capture thread's text, unless a restart came meanwhile.
void Journal::AskAgain(uint64_t generation)
{
    {
        std::lock_guard fileLock(fileMutex_);
        if (generation != generation_.load())
            return;
        wholeBytes_ = durableBytes_;
        tornTail_ = true;
    }
    std::lock_guard lock(mutex_);
    if (generation != generation_.load())
        return;
    pending_.clear();
    unwritten_.clear();
    resendFrom_ = static_cast<size_t>(durableBytes_);
}

// The sealing line first, then the log file and its name; only then does
// the sealed journal go. Whatever fails stays for recovery: after a failed
// sync the system may call the next one good without the bytes on disk.
uint32_t Journal::SettleSealed()
{
    uint32_t firstError = 0;
    for (Sealed &sealed : settling_) {
        uint32_t code = sealed.file ? sealed.file->Sync() : 0;
        if (code == 0 && sealed.log.Held())
            code = sealed.log.Sync();
        if (code == 0 && sealed.file)
            code = sealed.file->RemoveAndClose(sealed.path);
        if (code != 0) {
            distrusted_.push_back(std::move(sealed));
            if (firstError == 0)
                firstError = code;
        }
    }
    settling_.clear();  // the settled close their files here
    return firstError;
}

// A kept journal gets one last try at what it was handed; a finished one
// goes once the log files that hold its lines are durable. Sealed journals
// whose logs are not durable stay for recovery either way.
void Journal::Finish(Batch &last)
{
    if (keep_) {
        static_cast<void>(Write(last));  // recovery takes what did reach the file
        return;
    }
    last.restart = true;
    unwritten_.clear();
    static_cast<void>(Write(last));
    std::lock_guard fileLock(fileMutex_);
    if (file_)
        static_cast<void>(file_->RemoveAndClose(path_));  // a journal left behind would only be recovered
}
