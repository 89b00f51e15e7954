#include "CandumpOutput.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include <limits.h>
#include <poll.h>
#include <unistd.h>

#include "CandumpLine.h"

namespace vektacand {

namespace {

using namespace std::chrono_literals;

// Frames wait at most this long before they are written.
constexpr auto kFlushPeriod = 100ms;
// Text the capture may buffer ahead of the reader; past it frames are dropped.
constexpr size_t kBufferBytes = size_t{4} << 20;
// The writer is woken early once this much is waiting.
constexpr size_t kEarlyWriteBytes = size_t{64} << 10;
// A pipe takes this much without blocking once poll says it has room.
constexpr size_t kChunkBytes = PIPE_BUF;
constexpr int kPollMs = 100;
// At the end, a reader that takes nothing for this long gets nothing more.
constexpr auto kFinishWait = 1s;

uint64_t LinesIn(std::string_view text)
{
    return uint64_t(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

CandumpOutput::CandumpOutput(int fd, std::string iface) : fd_(fd), iface_(std::move(iface))
{
    filling_.reserve(kBufferBytes);
}

CandumpOutput::~CandumpOutput()
{
    Finish();
}

bool CandumpOutput::Start(std::string &error)
{
    try {
        writer_ = std::thread([this] { WriteLoop(); });
    } catch (const std::system_error &failure) {
        error = std::string("cannot start the output thread: ") + failure.what();
        return false;
    }
    return true;
}

void CandumpOutput::Take(const SinkFrame &frame)
{
    char line[kMaxCandumpLine];
    const size_t length = FormatCandumpLine(frame, iface_, line);
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (closed_ || filling_.size() + length > kBufferBytes) {
            delivery_.dropReason = closed_ ? EPIPE : Delivery::kNoRoom;
            delivery_.dropped.fetch_add(1);
            return;
        }
        wake = filling_.size() < kEarlyWriteBytes && filling_.size() + length >= kEarlyWriteBytes;
        filling_.append(line, length);
    }
    if (wake)
        wake_.notify_one();
}

void CandumpOutput::Finish()
{
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    if (writer_.joinable())
        writer_.join();
}

void CandumpOutput::WriteLoop()
{
    std::string writing;
    writing.reserve(kBufferBytes);
    for (;;) {
        bool finishing = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, kFlushPeriod, [this] { return finishing_ || filling_.size() >= kEarlyWriteBytes; });
            writing.swap(filling_);
            finishing = finishing_;
        }
        // A line a failed write cut short is finished before the next.
        writing.insert(0, unfinished_);
        unfinished_.clear();
        const bool gone = writing.empty() ? ReaderLeft() : !WriteOut(writing, finishing);
        if (gone) {
            std::lock_guard lock(mutex_);
            closed_ = true;
            delivery_.dropped.fetch_add(LinesIn(filling_));
            filling_.clear();
            readerGone_.store(true);
        }
        writing.clear();
        if (finishing) {
            std::lock_guard lock(mutex_);
            if (filling_.empty())
                return;
        }
    }
}

// With nothing to write, a pipe whose reader has gone shows it as POLLERR:
// a quiet bus must not keep the run going for nobody.
bool CandumpOutput::ReaderLeft() const
{
    pollfd out{fd_, POLLOUT, 0};
    return ::poll(&out, 1, 0) > 0 && (out.revents & POLLERR) != 0;
}

// Writes text whole; false when the reader is gone (or, finishing, stalled),
// with what was not written counted as dropped. Any other failed write (a
// full disk) drops the rest of this round's lines and the next round tries
// again.
bool CandumpOutput::WriteOut(std::string_view text, bool finishing)
{
    while (!text.empty()) {
        if (!WaitWritable(finishing)) {
            delivery_.dropReason = Delivery::kNoRoom;
            delivery_.dropped.fetch_add(LinesIn(text));
            return false;
        }
        const ssize_t written = ::write(fd_, text.data(), std::min(text.size(), kChunkBytes));
        if (written < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (written < 0) {
            const int error = errno;
            delivery_.dropReason = error;
            if (error == EPIPE || finishing) {
                delivery_.dropped.fetch_add(LinesIn(text));
                return error != EPIPE;
            }
            const size_t lineEnd = midLine_ ? text.find('\n') + 1 : 0;
            unfinished_.assign(text.substr(0, lineEnd));
            delivery_.dropped.fetch_add(LinesIn(text.substr(lineEnd)));
            return true;
        }
        const std::string_view done = text.substr(0, size_t(written));
        delivery_.forwarded.fetch_add(LinesIn(done));
        midLine_ = done.back() != '\n';
        text.remove_prefix(size_t(written));
    }
    return true;
}

// Waits until the descriptor takes a chunk; while the run goes on, for as
// long as it takes, at the end for a second at most.
bool CandumpOutput::WaitWritable(bool finishing)
{
    auto giveUp = std::chrono::steady_clock::now() + kFinishWait;
    for (;;) {
        pollfd out{fd_, POLLOUT, 0};
        const int ready = ::poll(&out, 1, kPollMs);
        if (ready > 0)
            return true;  // writable, or an error the write will name
        if (ready < 0 && errno != EINTR)
            return false;
        if (!finishing) {
            std::lock_guard lock(mutex_);
            finishing = finishing_;
            giveUp = std::chrono::steady_clock::now() + kFinishWait;
        } else if (std::chrono::steady_clock::now() >= giveUp) {
            return false;
        }
    }
}

}  // namespace vektacand
