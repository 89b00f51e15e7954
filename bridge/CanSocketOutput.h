// Frames written to a SocketCAN interface through a non-blocking CAN_RAW
// socket. A frame the interface cannot take (down, gone, queue full) is
// dropped and counted; an interface that went away is looked up again by
// name (and with create made again) while frames keep coming.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "Delivery.h"
#include "capture/FrameSink.h"

namespace vektacand {

class CanSocketOutput {
public:
    CanSocketOutput(std::string iface, bool create);
    ~CanSocketOutput();
    CanSocketOutput(const CanSocketOutput &) = delete;
    CanSocketOutput &operator=(const CanSocketOutput &) = delete;

    // Before the capture starts: makes the interface if asked and opens the
    // socket; the message for the operator when that fails.
    std::optional<std::string> Attach();
    // On the capture thread.
    void Take(const SinkFrame &frame);

    const Delivery &delivery() const { return delivery_; }

private:
    int Open();
    void Drop(int reason);
    void Detach();

    const std::string iface_;
    const bool create_;
    int fd_ = -1;  // the capture thread's once it runs
    std::chrono::steady_clock::time_point lastTry_{};
    Delivery delivery_;
};

}  // namespace vektacand
