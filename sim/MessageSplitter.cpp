#include "MessageSplitter.h"

#include <utility>

namespace vektasim {

namespace {

constexpr size_t kHeaderBytes = 2;

}  // namespace

bool MessageSplitter::Add(uint8_t byte, uint32_t lineRate, ReceivedMessage &done)
{
    if (current_.bytes.empty())
        current_.lineRate = lineRate;
    current_.bytes.push_back(byte);
    const auto &bytes = current_.bytes;
    if (bytes.size() < kHeaderBytes || bytes.size() < kHeaderBytes + bytes[1])
        return false;
    done = std::exchange(current_, {});
    return true;
}

bool MessageSplitter::TakeUnfinished(ReceivedMessage &unfinished)
{
    if (current_.bytes.empty())
        return false;
    unfinished = std::exchange(current_, {});
    return true;
}

}  // namespace vektasim
