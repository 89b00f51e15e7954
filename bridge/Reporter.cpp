#include "Reporter.h"

#include "capture/Unit2.h"
#include "common/ErrorText.h"

namespace vektacand {

void Reporter::AddOutput(std::string name, const Delivery &delivery)
{
    outputs_.push_back({std::move(name), &delivery});
}

void Reporter::Say(const std::string &text)
{
    std::fprintf(out_, "vektacand: %s\n", text.c_str());
    std::fflush(out_);
}

std::string Reporter::StateText(const StateEvent &event) const
{
    switch (event.state) {
    case CaptureState::kOpening: return "opening " + port_;
    case CaptureState::kInitialising: return "initialising the adapter";
    case CaptureState::kReceiving: return "receiving";
    default: break;
    }
    std::string text = "closed " + port_;
    if (event.sysError != 0)
        text += ": " + SystemErrorText(event.sysError);
    if (const std::string_view kind = ErrorKindText(event.errorKind); !kind.empty())
        text += (event.sysError != 0 ? ", " : ": ") + std::string(kind);
    return text;
}

void Reporter::ReportState(const StateEvent &event)
{
    const std::string text = StateText(event);
    if (event.state == CaptureState::kOpening) {
        pendingOpening_ = text;
        return;
    }
    if (event.state == CaptureState::kIdle && !pendingOpening_.empty() && text == lastClosed_) {
        if (!repeating_)
            Say("trying again every 300 ms");
        repeating_ = true;
        pendingOpening_.clear();
        return;
    }
    if (!pendingOpening_.empty())
        Say(pendingOpening_);
    pendingOpening_.clear();
    repeating_ = false;
    Say(text);
    lastClosed_ = event.state == CaptureState::kIdle ? text : std::string();
}

void Reporter::Report()
{
    for (const StateEvent &event : sink_.TakeEvents())
        ReportState(event);
    for (Watched &watched : outputs_)
        ReportDelivery(watched);
}

// A stretch of drops is said once when it begins and once when frames get
// through again.
void Reporter::ReportDelivery(Watched &watched)
{
    const Delivery &delivery = *watched.delivery;
    const uint64_t dropped = delivery.dropped.load();
    const uint64_t forwarded = delivery.forwarded.load();
    const uint32_t reattached = delivery.reattached.load();
    const int reason = delivery.dropReason.load();
    if (reattached != watched.reattached) {
        Say(watched.name + ": attached again");
        watched.saidNotVcan = false;
    }
    if (!watched.dropping && dropped > watched.dropped) {
        Say(watched.name + ": dropping frames: " + DropReasonText(reason));
        watched.dropping = true;
        watched.stretchStart = watched.dropped;
        watched.saidNotVcan = reason == Delivery::kNotVcan;
    } else if (watched.dropping && reason == Delivery::kNotVcan && !watched.saidNotVcan) {
        // Within a stretch that began with the interface gone.
        Say(watched.name + ": " + DropReasonText(reason));
        watched.saidNotVcan = true;
    } else if (watched.dropping && dropped == watched.dropped && forwarded > watched.forwarded) {
        Say(watched.name + ": delivering again after " + std::to_string(dropped - watched.stretchStart) +
            " frames dropped");
        watched.dropping = false;
    }
    watched.dropped = dropped;
    watched.forwarded = forwarded;
    watched.reattached = reattached;
}

void Reporter::Summary()
{
    std::string text = std::to_string(sink_.received()) + " frames received";
    for (const Watched &watched : outputs_)
        text += "; " + watched.name + ": " + std::to_string(watched.delivery->forwarded.load()) + " forwarded, " +
                std::to_string(watched.delivery->dropped.load()) + " dropped";
    Say(text);
}

}  // namespace vektacand
