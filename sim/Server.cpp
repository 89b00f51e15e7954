#include "Server.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "LineRate.h"
#include "WakeFd.h"

namespace vektasim {

namespace {

using namespace std::chrono_literals;

constexpr uint32_t kLineRateBitsPerSecond = 833333;
constexpr uint32_t kBitsPerByte = 10;  // start, eight data, stop
constexpr uint32_t kLineBytesPerSecond = kLineRateBitsPerSecond / kBitsPerByte;
// Rides out scheduling delays of about 12 ms without losing rate.
constexpr size_t kThrottleBurstBytes = 1024;
// Output is built up to this much ahead, then written in big chunks.
constexpr size_t kChunkBytes = 64 * 1024;
// Output is built in steps of this much between writes.
constexpr size_t kFillStepBytes = 4 * 1024;
// On the real line an adapter holds only a few milliseconds of output, so a
// fault shows on the wire at once; and a USB serial link hands bytes over in
// packets rather than one by one.
constexpr size_t kLinePrefillBytes = 512;
constexpr size_t kLinePacketBytes = 64;
constexpr size_t kSmallestFrameBytes = 6;  // type, count, identifier
constexpr size_t kReadBytes = 4096;
constexpr uint8_t kLastInitCommand = 0x57;
// A type no command uses, for the wrong-type faults.
constexpr uint8_t kWrongTypeFlip = 0x80;
constexpr int kMaxGarbageBytes = 4;
// With dropBrokenOff, an adapter starts afresh on a message its client paused
// in for this long: what came before was broken off, or noise such as a
// line's echo at its open.
constexpr auto kMessageGap = 50ms;
// A hung-up master polls readable for ever; it is looked at this often.
constexpr auto kClientRetry = 2ms;
constexpr unsigned kNoiseSeed = 0x5eed;

void WarnLine(const char *what)
{
    std::fprintf(stderr, "vektasim: %s: %s\n", what, std::strerror(errno));
}

// Drops every byte on its way to the client: what the master has not handed
// over and what the slave's line holds unread. A master's own flush leaves the
// latter, so the slave is flushed through a descriptor of its own.
void DropUnreadOutput(int master)
{
    if (::tcflush(master, TCOFLUSH) != 0 && errno != EIO)
        WarnLine("flushing the line");
    char slavePath[PATH_MAX];
    if (::ptsname_r(master, slavePath, sizeof slavePath) != 0) {
        WarnLine("naming the slave");
        return;
    }
    const int slave = ::open(slavePath, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        WarnLine("opening the slave");
        return;
    }
    if (::tcflush(slave, TCIFLUSH) != 0)
        WarnLine("flushing the slave's input");
    ::close(slave);
}

timespec ToTimespec(Clock::duration wait)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    return {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

}  // namespace

Server::Server(const Options &options, SharedState &shared, TrafficSource *traffic, int masterFd, WakeFd &wake,
               const std::atomic<bool> &stop)
    : options_(options), shared_(shared), traffic_(traffic), master_(masterFd), wake_(wake), stop_(stop),
      noise_(kNoiseSeed)
{
    if (options.throttle)
        throttle_.emplace(kLineBytesPerSecond, kThrottleBurstBytes, Clock::now());
}

bool Server::Run(std::string &error)
{
    while (!stop_.load()) {
        if (clientAbsent_) {
            WaitForClient();
            continue;
        }
        const auto now = Clock::now();
        Fill(now);
        pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (WantsWrite(now) ? POLLOUT : 0)), 0},
                         {wake_.Fd(), POLLIN, 0}};
        const auto wakeTime = WakeTime(now);
        const timespec wait = ToTimespec(wakeTime ? *wakeTime - now : Clock::duration::zero());
        if (::ppoll(fds, 2, wakeTime ? &wait : nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            error = std::string("poll: ") + std::strerror(errno);
            return false;
        }
        if (fds[1].revents != 0)
            wake_.Drain();
        if (shared_.TakePowerCut())
            PowerCut();
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
            ReadInput();
        if (!clientAbsent_ && (fds[0].revents & POLLOUT))
            Write(Clock::now());
        if (cutPending_ && outbox_.Pending() == 0)
            FinishPowerCut();
    }
    return true;
}

void Server::WaitForClient()
{
    pollfd wake = {wake_.Fd(), POLLIN, 0};
    const timespec retry = ToTimespec(kClientRetry);
    if (::ppoll(&wake, 1, &retry, nullptr) > 0)
        wake_.Drain();
    pollfd master = {master_, POLLIN, 0};
    if (::poll(&master, 1, 0) >= 0 && !(master.revents & POLLHUP))
        clientAbsent_ = false;
}

void Server::Fill(Clock::time_point now)
{
    if (!streaming_ || Silenced() || outbox_.Pending() >= PrefillLimit())
        return;
    // A step at a time, so that the rest of a message already begun on the
    // line is never held up for long by building the next ones.
    const size_t limit = std::min(PrefillLimit(), outbox_.Pending() + kFillStepBytes);
    batch_.clear();
    shared_.TakeQueued(batch_, (limit - outbox_.Pending()) / kSmallestFrameBytes + 1);
    for (size_t i = 0; i < batch_.size(); ++i) {
        if (!AddFrame(batch_[i])) {
            shared_.Requeue({batch_.begin() + static_cast<std::ptrdiff_t>(i) + 1, batch_.end()});
            return;
        }
    }
    while (traffic_ != nullptr && outbox_.Pending() < limit) {
        const auto due = traffic_->NextDue();
        if (!due || *due > now || !AddFrame(traffic_->Take()))
            return;
    }
}

bool Server::AddFrame(const CanFrame &frame)
{
    const Fault fault = shared_.CurrentFault();
    if (fault == Fault::CutShort && shared_.TakeCutShort()) {
        // Type and count only; the client waits in vain for the rest.
        const auto message = EncodeFrameMessage(frame, options_.kind);
        outbox_.AddNoise(message.data(), 2);
        SetStreaming(false);
        return false;
    }
    outbox_.AddFrame(frame, options_.kind);
    if (fault == Fault::Garbage)
        AddGarbage();
    return true;
}

void Server::AddGarbage()
{
    std::uniform_int_distribution<int> size(1, kMaxGarbageBytes);
    std::uniform_int_distribution<int> byte(0, 255);
    uint8_t noise[kMaxGarbageBytes];
    const int count = size(noise_);
    for (int i = 0; i < count; ++i)
        noise[i] = static_cast<uint8_t>(byte(noise_));
    outbox_.AddNoise(noise, static_cast<size_t>(count));
}

void Server::ReadInput()
{
    uint8_t bytes[kReadBytes];
    for (;;) {
        const ssize_t size = ::read(master_, bytes, sizeof bytes);
        if (size > 0) {
            DropBrokenOff();
            Take(bytes, static_cast<size_t>(size));
            continue;
        }
        if (size < 0 && errno == EINTR)
            continue;
        if (size < 0 && errno == EAGAIN) {
            if (!lineQuietSince_)
                lineQuietSince_ = Clock::now();
            return;
        }
        // EIO: the last slave descriptor was closed.
        ClientGone();
        return;
    }
}

void Server::DropBrokenOff()
{
    ReceivedMessage brokenOff;
    if (options_.dropBrokenOff && lineQuietSince_ && Clock::now() - *lineQuietSince_ >= kMessageGap)
        splitter_.TakeUnfinished(brokenOff);
    lineQuietSince_.reset();
}

// A message is published only after it was acted upon, so a caller that
// sees it knows which fault its answer followed.
void Server::Take(const uint8_t *bytes, size_t size)
{
    const uint32_t lineRate = SlaveLineRate(master_);
    ReceivedMessage message;
    for (size_t i = 0; i < size; ++i) {
        if (splitter_.Add(bytes[i], lineRate, message)) {
            React(message.bytes[0]);
            shared_.AddReceived(std::move(message));
        }
    }
}

void Server::React(uint8_t code)
{
    StopStreaming();
    if (Silenced())
        return;
    if (options_.answerCommands && !shared_.Ignores(code))
        Answer(code);
    if (code == kLastInitCommand) {
        if (traffic_ != nullptr)
            traffic_->Resume(Clock::now());
        SetStreaming(true);
    }
}

void Server::Answer(uint8_t code)
{
    const Fault fault = shared_.CurrentFault();
    const uint8_t wrong[] = {static_cast<uint8_t>(code ^ kWrongTypeFlip), 0};
    const uint8_t right[] = {code, 0};
    if (fault == Fault::WrongTypeFirst || fault == Fault::WrongTypeOnly)
        outbox_.AddAnswer(wrong, sizeof wrong);
    if (fault != Fault::WrongTypeOnly)
        outbox_.AddAnswer(right, sizeof right);
}

bool Server::WantsWrite(Clock::time_point now)
{
    if (outbox_.Pending() == 0 || Silenced())
        return false;
    return !throttle_ || throttle_->Available(now) >= NextPacket();
}

size_t Server::PrefillLimit() const
{
    return throttle_ ? kLinePrefillBytes : kChunkBytes;
}

size_t Server::NextPacket() const
{
    return std::min(outbox_.Pending(), kLinePacketBytes);
}

void Server::Write(Clock::time_point now)
{
    size_t size = outbox_.Pending();
    if (throttle_)
        size = std::min(size, throttle_->Available(now));
    if (size == 0 || Silenced())
        return;
    const ssize_t written = ::write(master_, outbox_.Data(), size);
    if (written < 0) {
        if (errno != EAGAIN && errno != EINTR)
            ClientGone();
        return;
    }
    if (throttle_)
        throttle_->Take(static_cast<size_t>(written));
    scratch_.clear();
    outbox_.Written(static_cast<size_t>(written), scratch_);
    shared_.FramesWritten(scratch_);
}

// When to look again without an event: the next frame due, or the moment
// the throttle lets the next byte go; nothing means wait for an event.
std::optional<Clock::time_point> Server::WakeTime(Clock::time_point now)
{
    std::optional<Clock::time_point> wake;
    if (Silenced())
        return wake;
    if (streaming_ && traffic_ != nullptr && outbox_.Pending() < PrefillLimit())
        wake = traffic_->NextDue();
    if (throttle_ && outbox_.Pending() > 0 && throttle_->Available(now) < NextPacket()) {
        const auto ready = now + throttle_->UntilAvailable(NextPacket());
        wake = wake ? std::min(*wake, ready) : ready;
    }
    if (wake && *wake < now)
        wake = now;
    return wake;
}

void Server::SetStreaming(bool on)
{
    streaming_ = on;
    shared_.SetStreaming(on);
}

// Frames not yet begun go back to the queue, to follow the next 0x57.
void Server::StopStreaming()
{
    SetStreaming(false);
    scratch_.clear();
    outbox_.DropUnstarted(scratch_);
    shared_.Requeue(scratch_);
}

void Server::ClientGone()
{
    StopStreaming();
    scratch_.clear();
    outbox_.DropAll(scratch_);
    shared_.Requeue(scratch_);
    ReceivedMessage unfinished;
    if (splitter_.TakeUnfinished(unfinished))
        shared_.AddReceived(std::move(unfinished));
    clientAbsent_ = true;
}

// What the adapter had not sent is lost; a cut between messages lets the
// one under way (and what the line already holds) finish first, so that the
// line falls quiet on a message boundary.
void Server::PowerCut()
{
    SetStreaming(false);
    scratch_.clear();
    if (options_.cutBetweenMessages) {
        outbox_.DropUnstarted(scratch_);
        cutPending_ = true;
        return;
    }
    outbox_.DropAll(scratch_);
    DropUnreadOutput(master_);
    FinishPowerCut();
}

void Server::FinishPowerCut()
{
    cutPending_ = false;
    ReceivedMessage unfinished;
    splitter_.TakeUnfinished(unfinished);
    shared_.PowerCutDone();
}

}  // namespace vektasim
