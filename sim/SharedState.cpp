#include "SharedState.h"

#include <algorithm>

namespace vektasim {

void SharedState::AddReceived(ReceivedMessage message)
{
    std::lock_guard lock(mutex_);
    received_.push_back(std::move(message));
}

void SharedState::FramesWritten(const std::vector<CanFrame> &frames)
{
    if (frames.empty())
        return;
    if (recordFrames_.load()) {
        std::lock_guard lock(mutex_);
        sent_.insert(sent_.end(), frames.begin(), frames.end());
    }
    framesSent_.fetch_add(frames.size());
}

void SharedState::TakeQueued(std::vector<CanFrame> &into, size_t most)
{
    std::lock_guard lock(mutex_);
    const size_t count = std::min(most, queue_.size());
    into.insert(into.end(), queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(count));
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(count));
}

void SharedState::Requeue(const std::vector<CanFrame> &frames)
{
    std::lock_guard lock(mutex_);
    queue_.insert(queue_.begin(), frames.begin(), frames.end());
}

bool SharedState::Ignores(uint8_t code) const
{
    std::lock_guard lock(mutex_);
    return ignored_.test(code);
}

bool SharedState::TakeCutShort()
{
    Fault expected = Fault::CutShort;
    return fault_.compare_exchange_strong(expected, Fault::None);
}

std::vector<ReceivedMessage> SharedState::Received() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<uint8_t> SharedState::ReceivedBytes() const
{
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> all;
    for (const auto &message : received_)
        all.insert(all.end(), message.bytes.begin(), message.bytes.end());
    return all;
}

void SharedState::ClearReceived()
{
    std::lock_guard lock(mutex_);
    received_.clear();
}

std::vector<CanFrame> SharedState::SentFrames() const
{
    std::lock_guard lock(mutex_);
    return sent_;
}

void SharedState::SetRecordFrames(bool on)
{
    recordFrames_.store(on);
}

void SharedState::Queue(const std::vector<CanFrame> &frames)
{
    std::lock_guard lock(mutex_);
    queue_.insert(queue_.end(), frames.begin(), frames.end());
}

void SharedState::SetIgnored(const std::vector<uint8_t> &codes)
{
    std::lock_guard lock(mutex_);
    ignored_.reset();
    for (uint8_t code : codes)
        ignored_.set(code);
}

}  // namespace vektasim
