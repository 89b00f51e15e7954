#include "StatusGrid.h"

#include <algorithm>
#include <charconv>

#include "capture/logstore/LogText.h"

CellString::CellString(std::string_view text)
{
    size_ = std::min(text.size(), chars_.size());
    std::copy_n(text.begin(), size_, chars_.begin());
}

CellString CellString::Hex(uint32_t value, int digits)
{
    CellString text;
    text.size_ = static_cast<size_t>(WriteHexDigits(text.chars_.data(), value, digits) - text.chars_.data());
    return text;
}

CellString CellString::Decimal(uint32_t value)
{
    CellString text;
    // Ten digits hold any 32-bit value, so the conversion always fits.
    const auto written = std::to_chars(text.chars_.data(), text.chars_.data() + text.chars_.size(), value);
    text.size_ = static_cast<size_t>(written.ptr - text.chars_.data());
    return text;
}

CellString CellText(const FrameEntry &entry, int col, bool tableEmpty)
{
    using namespace StatusColumn;
    if (tableEmpty)
        return CellString(kNoValue);
    if (col == kId)
        return CellString::Hex(entry.id, 8);
    if (col == kLength)
        return CellString::Decimal(entry.length);
    if (col == kCount)
        return CellString::Decimal(entry.count);
    const int byte = col - kFirstByte;
    if (byte < entry.length)
        return CellString::Hex(entry.data[byte], 2);
    return CellString(kNoValue);
}

bool CellChanged(const FrameEntry &entry, int col)
{
    using namespace StatusColumn;
    if (col < kFirstByte || col > kLength)
        return false;
    return entry.changed[col - kFirstByte] != 0;
}
