// Splits what the client writes into messages: type, count, count payload bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Simulator.h"

namespace vektasim {

class Inbox {
public:
    // Adds bytes that arrived while the line ran at lineRate; appends the
    // type of every message they completed to completed.
    void Feed(const uint8_t *bytes, size_t size, uint32_t lineRate, std::vector<uint8_t> &completed);
    // The client went away: the next byte starts a new message.
    void Break();
    // Forgets every message but one still arriving.
    void Clear();
    const std::vector<ReceivedMessage> &Messages() const { return messages_; }
    std::vector<uint8_t> Bytes() const;

private:
    std::vector<ReceivedMessage> messages_;
    bool open_ = false;  // the last message still misses bytes
};

}  // namespace vektasim
