// The identifier table: one row per CAN identifier, in order of first arrival.
#pragma once

#include <array>
#include <cstdint>

#include "AdapterProtocol.h"
#include "RelaxedAtomic.h"

// One row. Every field is a relaxed atomic: reception writes a row while the
// window paints it, and a row torn for one repaint is acceptable where
// undefined behaviour is not.
struct FrameEntry {
    RelaxedAtomic<uint32_t> id;
    RelaxedAtomic<uint32_t> count;
    RelaxedAtomic<uint8_t> data[kMaxDataLength];
    RelaxedAtomic<uint8_t> length;
    RelaxedAtomic<uint8_t> prevData[kMaxDataLength];
    RelaxedAtomic<uint8_t> prevLength;
    RelaxedAtomic<uint8_t> changed[9];  // data bytes 0..7, then the length
};

constexpr uint16_t kFrameTableSize = 4096;

// Where each identifier of the current table stands, so that a frame finds its
// row without scanning. Fixed storage; emptied in constant time.
class FrameIndex {
public:
    static constexpr int kNotFound = -1;

    void Clear();
    int Find(uint32_t id) const;
    void Insert(uint32_t id, uint16_t row);

private:
    static constexpr size_t kSlots = 2 * kFrameTableSize;  // a power of two, at most half full
    size_t SlotOf(uint32_t id) const;

    std::array<uint32_t, kSlots> ids_{};
    std::array<uint16_t, kSlots> rows_{};
    std::array<uint32_t, kSlots> generation_{};  // a slot is used when it holds current_
    uint32_t current_ = 1;
};

struct TCaptureControl;

// Folds one received frame (length 1..8) into the table of control. Answers
// false when the identifier is new and the table is full.
bool FoldFrame(TCaptureControl &control, FrameIndex &index, uint32_t id, const uint8_t *data, uint8_t length);
