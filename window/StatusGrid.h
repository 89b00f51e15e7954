// What the status grid shows of one row of the identifier table.
#pragma once

#include <string>

#include "FrameTable.h"

namespace StatusColumn {
constexpr int kId = 0;
constexpr int kFirstByte = 1;
constexpr int kLastByte = 8;
constexpr int kLength = 9;
constexpr int kCount = 10;
constexpr int kColumns = 11;
}  // namespace StatusColumn

inline constexpr char kNoValue[] = "-";

// The text of a cell; every cell reads "-" while the table is empty.
std::string CellText(const FrameEntry &entry, int col, bool tableEmpty);

// Whether the cell shows a value that changed with the latest frame.
bool CellChanged(const FrameEntry &entry, int col);
