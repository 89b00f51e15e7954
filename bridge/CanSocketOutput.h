// Frames written to a SocketCAN interface through a non-blocking CAN_RAW
// socket. A frame the interface cannot take (down, gone, queue full) is
// dropped and counted; an interface that went away is looked up again by
// name (and with create made again) while frames keep coming. Only a vcan
// is written to, at the start and after every reopen, unless anyKind says
// the user means another kind (a gateway onto a real bus).
#pragma once

#include <cerrno>
#include <chrono>
#include <optional>
#include <string>

#include "Delivery.h"
#include "capture/FrameSink.h"

namespace vektacand {

struct AttachFailure {
    std::string message;
    bool notVcan = false;  // refused for its kind, not for a fault
};

class CanSocketOutput {
public:
    CanSocketOutput(std::string iface, bool create, bool anyKind);
    ~CanSocketOutput();
    CanSocketOutput(const CanSocketOutput &) = delete;
    CanSocketOutput &operator=(const CanSocketOutput &) = delete;

    // Before the capture starts: makes the interface if asked and opens the
    // socket; what stood in the way otherwise.
    std::optional<AttachFailure> Attach();
    // On the capture thread.
    void Take(const SinkFrame &frame);

    const Delivery &delivery() const { return delivery_; }

private:
    int Open();
    void Drop(int reason);
    void Detach();

    const std::string iface_;
    const bool create_;
    const bool anyKind_;
    std::string kindFound_;  // of the interface Open last looked at
    int fd_ = -1;            // the capture thread's once it runs
    std::chrono::steady_clock::time_point lastTry_{};
    int lastFailure_ = ENODEV;  // why the last look for the interface failed
    Delivery delivery_;
};

}  // namespace vektacand
