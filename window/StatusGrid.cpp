#include "StatusGrid.h"

#include <cstdio>

namespace {

std::string Hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

}  // namespace

std::string CellText(const FrameEntry &entry, int col, bool tableEmpty)
{
    using namespace StatusColumn;
    if (tableEmpty)
        return kNoValue;
    if (col == kId)
        return Hex(entry.id, 8);
    if (col == kLength)
        return std::to_string(unsigned(entry.length));
    if (col == kCount)
        return std::to_string(uint32_t(entry.count));
    const int byte = col - kFirstByte;
    if (byte < entry.length)
        return Hex(entry.data[byte], 2);
    return kNoValue;
}

bool CellChanged(const FrameEntry &entry, int col)
{
    using namespace StatusColumn;
    if (col < kFirstByte || col > kLength)
        return false;
    return entry.changed[col - kFirstByte] != 0;
}
