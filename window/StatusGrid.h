// What the status grid shows of one row of the identifier table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "capture/FrameTable.h"

namespace StatusColumn {
constexpr int kId = 0;
constexpr int kFirstByte = 1;
constexpr int kLastByte = 8;
constexpr int kLength = 9;
constexpr int kCount = 10;
constexpr int kColumns = 11;
}  // namespace StatusColumn

inline constexpr char kNoValue[] = "-";

// A cell's text, held in place: every cell of every tick has one, and the
// longest, a count, has ten characters.
class CellString {
public:
    explicit CellString(std::string_view text);
    static CellString Hex(uint32_t value, int digits);
    static CellString Decimal(uint32_t value);

    std::string_view View() const { return {chars_.data(), size_}; }
    bool operator==(const CellString &) const = default;

private:
    CellString() = default;

    std::array<char, 10> chars_{};
    size_t size_ = 0;
};

// The text of a cell; every cell reads "-" while the table is empty.
CellString CellText(const FrameEntry &entry, int col, bool tableEmpty);

// Whether the cell shows a value that changed with the latest frame.
bool CellChanged(const FrameEntry &entry, int col);
