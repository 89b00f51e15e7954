// Splits what the client writes into messages: type, count, count payload bytes.
#pragma once

#include <cstdint>

#include "Simulator.h"

namespace vektasim {

class MessageSplitter {
public:
    // Adds one byte that arrived while the line ran at lineRate; answers true
    // when it completed a message, which is then moved into done.
    bool Add(uint8_t byte, uint32_t lineRate, ReceivedMessage &done);
    // Hands out a message the client broke off, if there is one; the next
    // byte starts a new message.
    bool TakeUnfinished(ReceivedMessage &unfinished);

private:
    ReceivedMessage current_;
};

}  // namespace vektasim
