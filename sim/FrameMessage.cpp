#include "FrameMessage.h"

#include <algorithm>

namespace vektasim {

namespace {

constexpr uint8_t kTriloxExtendedMark = 0x40;

void AppendIdentifier(const CanFrame &frame, Kind kind, std::vector<uint8_t> &out)
{
    const uint32_t id = frame.id;
    if (!frame.extended) {
        out.push_back(static_cast<uint8_t>(id >> 3));
        out.push_back(static_cast<uint8_t>((id & 0x07) << 2));
        out.push_back(0);
        out.push_back(0);
        return;
    }
    // VEKTA leaves the width to the receiver's configuration.
    const uint8_t mark = kind == Kind::Trilox ? kTriloxExtendedMark : 0;
    out.push_back(static_cast<uint8_t>(id >> 21));
    out.push_back(static_cast<uint8_t>(((id >> 16) & 0x1F) | mark));
    out.push_back(static_cast<uint8_t>(id >> 8));
    out.push_back(static_cast<uint8_t>(id));
}

}  // namespace

void AppendFrameMessage(const CanFrame &frame, Kind kind, std::vector<uint8_t> &out)
{
    const uint8_t length = std::min(frame.length, kMaxDataBytes);
    out.push_back(kFrameMessageType);
    out.push_back(static_cast<uint8_t>(kIdentifierBytes + length));
    AppendIdentifier(frame, kind, out);
    out.insert(out.end(), frame.data, frame.data + length);
}

std::vector<uint8_t> EncodeFrameMessage(const CanFrame &frame, Kind kind)
{
    std::vector<uint8_t> message;
    AppendFrameMessage(frame, kind, message);
    return message;
}

}  // namespace vektasim
