#include "FrameWidth.h"

#include <algorithm>

#include "capture/AdapterEncoding.h"
#include "capture/logstore/LogText.h"

namespace vektalog {

namespace {

bool CarriesFrame(const MessageBytes &m, const FrameLine &frame)
{
    const uint8_t *data = m.bytes.data() + kMessageHeaderBytes + kIdentifierBytes;
    return m.size == kMessageHeaderBytes + kIdentifierBytes + frame.length && m.bytes[0] == kFrameMessage &&
           m.bytes[1] == kIdentifierBytes + frame.length && std::equal(data, data + frame.length, frame.data.begin());
}

// The width reception chose: VEKTA by receive group 1, TRILOX by the frame's mark.
std::optional<bool> ReceptionWidth(const AdapterSetup &setup, const uint8_t *identifier)
{
    if (setup.kind == AdapterKind::Trilox)
        return (identifier[1] & kExtendedFrameMark) != 0;
    if (setup.kind == AdapterKind::Vekta)
        return setup.group1Extended;
    return std::nullopt;
}

std::string Hex8(uint32_t value)
{
    std::string text(8, '0');
    WriteHex8(text.data(), value);
    return text;
}

}  // namespace

bool FrameIsExtended(const FrameLine &frame, const AdapterMessage *raw, const AdapterSetup &setup, bool &extended,
                     std::string &problem)
{
    // An identifier above 7FF fits no 11-bit frame, whatever decoded it.
    const bool aboveStandard = frame.id > kMaxStandardId;
    extended = aboveStandard;
    if (raw == nullptr)
        return true;
    const std::string where = "the adapter message on line " + std::to_string(raw->line);
    if (!CarriesFrame(raw->message, frame)) {
        problem = where + " is not this frame's (\"RxD: 70 \" with its count and data)";
        return false;
    }
    const uint8_t *identifier = raw->message.bytes.data() + kMessageHeaderBytes;
    const uint32_t standard = DecodeIdentifier(identifier, false);
    const uint32_t extendedId = DecodeIdentifier(identifier, true);
    if (const std::optional<bool> width = ReceptionWidth(setup, identifier)) {
        const uint32_t decoded = *width ? extendedId : standard;
        if (decoded != frame.id) {
            problem = where + " decodes to " + Hex8(decoded) + " as " + (*width ? "29" : "11") +
                      "-bit, not to the identifier logged";
            return false;
        }
        extended = *width || aboveStandard;
        return true;
    }
    // Adapter kind unknown: the decoding that gives the logged identifier.
    if (standard != frame.id && extendedId != frame.id) {
        problem = where + " does not decode to the identifier logged (11-bit gives " + Hex8(standard) + ", 29-bit " +
                  Hex8(extendedId) + ")";
        return false;
    }
    if (standard != extendedId)
        extended = extendedId == frame.id || aboveStandard;
    return true;
}

}  // namespace vektalog
