// The lines on standard error: each change of the capture's state, each
// stretch of dropped frames per output, and the summary at the end.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "BridgeSink.h"
#include "Delivery.h"

namespace vektacand {

class Reporter {
public:
    Reporter(std::FILE *out, std::string port, BridgeSink &sink) : out_(out), port_(std::move(port)), sink_(sink) {}

    void AddOutput(std::string name, const Delivery &delivery);
    // Says what changed since the last call.
    void Report();
    void Summary();
    void Say(const std::string &text);

private:
    struct Watched {
        std::string name;
        const Delivery *delivery = nullptr;
        uint64_t forwarded = 0;
        uint64_t dropped = 0;
        uint64_t stretchStart = 0;  // dropped when the stretch began
        uint32_t reattached = 0;
        bool dropping = false;
        bool saidNotVcan = false;  // since it was last attached
    };
    std::string StateText(const StateEvent &event) const;
    void ReportState(const StateEvent &event);
    void ReportDelivery(Watched &watched);

    std::FILE *const out_;
    const std::string port_;
    BridgeSink &sink_;
    std::vector<Watched> outputs_;
    // A failing attempt repeated every 300 ms is said once: its opening line
    // waits here until it is known whether the attempt ends as the last did.
    std::string pendingOpening_;
    std::string lastClosed_;
    bool repeating_ = false;
};

}  // namespace vektacand
