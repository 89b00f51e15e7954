// The record file `vektasim --record` writes: one received message a line,
// the line rate of the simulator's side, then the bytes in hex.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct RecordedMessage {
    uint32_t lineRate = 0;
    std::vector<uint8_t> bytes;
    bool operator==(const RecordedMessage &) const = default;
};

// The whole lines of the file so far; a line still being written is left out.
std::vector<RecordedMessage> ReadRecord(const std::string &path);

}  // namespace testing_support
