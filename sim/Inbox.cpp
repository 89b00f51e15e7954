#include "Inbox.h"

namespace vektasim {

namespace {

constexpr size_t kHeaderBytes = 2;

bool Complete(const std::vector<uint8_t> &message)
{
    return message.size() >= kHeaderBytes && message.size() == kHeaderBytes + message[1];
}

}  // namespace

void Inbox::Feed(const uint8_t *bytes, size_t size, uint32_t lineRate, std::vector<uint8_t> &completed)
{
    for (size_t i = 0; i < size; ++i) {
        if (!open_) {
            messages_.push_back({{}, lineRate});
            open_ = true;
        }
        std::vector<uint8_t> &message = messages_.back().bytes;
        message.push_back(bytes[i]);
        if (Complete(message)) {
            open_ = false;
            completed.push_back(message[0]);
        }
    }
}

void Inbox::Break()
{
    open_ = false;
}

void Inbox::Clear()
{
    if (open_)
        messages_.erase(messages_.begin(), messages_.end() - 1);
    else
        messages_.clear();
}

std::vector<uint8_t> Inbox::Bytes() const
{
    std::vector<uint8_t> all;
    for (const auto &message : messages_)
        all.insert(all.end(), message.bytes.begin(), message.bytes.end());
    return all;
}

}  // namespace vektasim
