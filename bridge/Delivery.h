// What an output has done with the frames handed to it, for the state lines
// and the summary; read from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace vektacand {

struct Delivery {
    std::atomic<uint64_t> forwarded{0};
    std::atomic<uint64_t> dropped{0};
    // Why the latest frame was dropped: an errno value, kNoRoom or kNotVcan.
    std::atomic<int> dropReason{0};
    // Raised each time the output finds its target again after losing it.
    std::atomic<uint32_t> reattached{0};

    static constexpr int kNoRoom = -1;   // the reader takes the frames slower than they come
    static constexpr int kNotVcan = -2;  // the interface was made again as another kind
};

// The text for a drop reason.
std::string DropReasonText(int reason);

}  // namespace vektacand
