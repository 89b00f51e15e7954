// Whether a logged frame had a 29-bit identifier. The log writes every
// identifier with eight digits; where "Adapter LOG" put the adapter's own
// message before the frame, the width is read from it as reception decoded it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "LogMessages.h"

namespace vektalog {

enum class AdapterKind { Unknown, Vekta, Trilox };

// What the run's log said about the adapter before the frame.
struct AdapterSetup {
    AdapterKind kind = AdapterKind::Unknown;  // from the first command of the initialisation
    std::optional<bool> group1Extended;       // from the latest "CAN11/CAN29 …" line
};

struct AdapterMessage {
    size_t line = 0;  // where it was logged
    MessageBytes message;
};

// Answers false with problem when the adapter message is not this frame's or
// does not decode to its identifier. raw may be null.
bool FrameIsExtended(const FrameLine &frame, const AdapterMessage *raw, const AdapterSetup &setup, bool &extended,
                     std::string &problem);

}  // namespace vektalog
