// SIGINT and SIGTERM as readable events: blocked for every thread and taken
// from a signalfd, so that the end is handled in the main loop.
#pragma once

#include <chrono>
#include <string>

namespace vektacand {

class EndSignal {
public:
    EndSignal() = default;
    ~EndSignal();
    EndSignal(const EndSignal &) = delete;
    EndSignal &operator=(const EndSignal &) = delete;

    // Call before any thread starts; false with a message when it fails.
    bool Install(std::string &error);
    // Waits up to timeout; true when a signal came (its name in signalName).
    bool Wait(std::chrono::milliseconds timeout, std::string &signalName);

private:
    int fd_ = -1;
};

}  // namespace vektacand
