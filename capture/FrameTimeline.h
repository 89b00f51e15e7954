// The times handed on with the frames: the wall clock's, except that a step
// back of the clock is taken up once. The frame after it keeps the time of
// the one before, and later frames move on from there by as much as the
// clock moves on, so they stay apart as they came instead of sharing one
// stamp until the clock catches up. A step forward passes through.
#pragma once

#include <cstdint>

class FrameTimeline {
public:
    // The time for a frame received when the wall clock read wallUs.
    constexpr uint64_t Stamp(uint64_t wallUs)
    {
        stampUs_ = started_ ? stampUs_ + (wallUs > lastWallUs_ ? wallUs - lastWallUs_ : 0) : wallUs;
        lastWallUs_ = wallUs;
        started_ = true;
        return stampUs_;
    }

private:
    uint64_t lastWallUs_ = 0;
    uint64_t stampUs_ = 0;
    bool started_ = false;
};
