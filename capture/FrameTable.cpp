#include "FrameTable.h"

#include "Unit2.h"

void FrameIndex::Clear()
{
    if (++current_ == 0) {
        generation_.fill(0);
        current_ = 1;
    }
}

size_t FrameIndex::SlotOf(uint32_t id) const
{
    // Fibonacci hashing spreads the dense identifier ranges of real buses.
    return (id * 2654435769u) >> 19 & (kSlots - 1);
}

int FrameIndex::Find(uint32_t id) const
{
    for (size_t slot = SlotOf(id);; slot = (slot + 1) & (kSlots - 1)) {
        if (generation_[slot] != current_)
            return kNotFound;
        if (ids_[slot] == id)
            return rows_[slot];
    }
}

void FrameIndex::Insert(uint32_t id, uint16_t row)
{
    size_t slot = SlotOf(id);
    while (generation_[slot] == current_)
        slot = (slot + 1) & (kSlots - 1);
    generation_[slot] = current_;
    ids_[slot] = id;
    rows_[slot] = row;
}

namespace {

void UpdateEntry(FrameEntry &entry, const uint8_t *data, uint8_t length)
{
    uint8_t before[kMaxDataLength + 1];
    uint8_t after[kMaxDataLength + 1];
    for (int k = 0; k < kMaxDataLength; ++k) {
        before[k] = entry.data[k];
        after[k] = k < length ? data[k] : before[k];
    }
    before[kMaxDataLength] = entry.length;
    after[kMaxDataLength] = length;

    for (int k = 0; k < kMaxDataLength; ++k) {
        entry.prevData[k] = before[k];
        entry.data[k] = after[k];
    }
    entry.prevLength = before[kMaxDataLength];
    entry.length = length;

    bool anyChange = false;
    for (int k = 0; k <= kMaxDataLength; ++k)
        anyChange = anyChange || before[k] != after[k];
    // Equal frames keep the marks of the last change, so a value that toggled
    // once stays visible.
    if (anyChange)
        for (int k = 0; k <= kMaxDataLength; ++k)
            entry.changed[k] = before[k] != after[k] ? 1 : 0;
    entry.count = entry.count + 1;
}

// A reused row starts clean, so it never shows a former occupant's marks.
void FillNewEntry(FrameEntry &entry, uint32_t id, const uint8_t *data, uint8_t length)
{
    entry.id = id;
    entry.count = 1;
    for (int k = 0; k < kMaxDataLength; ++k) {
        entry.data[k] = k < length ? data[k] : 0;
        entry.prevData[k] = 0;
    }
    entry.length = length;
    entry.prevLength = 0;
    for (auto &mark : entry.changed)
        mark = 0;
}

}  // namespace

bool FoldFrame(TCaptureControl &control, FrameIndex &index, uint32_t id, const uint8_t *data, uint8_t length)
{
    const int row = index.Find(id);
    if (row != FrameIndex::kNotFound) {
        UpdateEntry(control.frames[row], data, length);
        return true;
    }
    const uint16_t count = control.frameCount.load(std::memory_order_relaxed);
    if (count >= kFrameTableSize)
        return false;
    FillNewEntry(control.frames[count], id, data, length);
    index.Insert(id, count);
    // Release: a reader that sees the new count sees the row filled.
    control.frameCount.store(count + 1, std::memory_order_release);
    return true;
}
