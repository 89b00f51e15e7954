// Bytes waiting to go to the client, with the messages they make up, so that
// a frame counts as sent only once it is written whole and messages not yet
// begun can be taken back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "Simulator.h"

namespace vektasim {

class Outbox {
public:
    void AddFrame(const CanFrame &frame, Kind kind);
    void AddAnswer(const uint8_t *bytes, size_t size);
    // Bytes that are no message: noise, or a message cut short.
    void AddNoise(const uint8_t *bytes, size_t size);

    size_t Pending() const { return bytes_.size() - head_; }
    const uint8_t *Data() const { return bytes_.data() + head_; }

    // size bytes went out; frames now written whole are appended to sent.
    void Written(size_t size, std::vector<CanFrame> &sent);
    // Takes back every frame and noise not yet begun, keeping the message
    // under way whole and every answer; the frames are appended to dropped,
    // in order.
    void DropUnstarted(std::vector<CanFrame> &dropped);
    // Takes back everything, also a message half written.
    void DropAll(std::vector<CanFrame> &dropped);

private:
    enum class What { Frame, Answer, Noise };
    struct Piece {
        uint64_t begin;  // offsets in the whole output since the start
        uint64_t end;
        What what;
        CanFrame frame;
    };

    uint64_t Appended() const { return written_ + Pending(); }
    void Add(const uint8_t *bytes, size_t size, What what);
    void Compact();

    std::vector<uint8_t> bytes_;
    size_t head_ = 0;  // bytes_ before head_ are written
    uint64_t written_ = 0;
    std::deque<Piece> pieces_;
};

}  // namespace vektasim
