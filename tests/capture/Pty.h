// A bare pseudo-terminal for the POSIX tests: the test plays the far end on
// the master.
#pragma once

#include <cstddef>
#include <string>

namespace testing_support {

class Pty {
public:
    static constexpr int kReceiveWaitMs = 5000;

    Pty();
    ~Pty();
    const std::string &slave() const { return slave_; }
    void Send(const std::string &bytes);
    // Up to size bytes, waiting at most waitMs for each part of them.
    std::string Receive(size_t size, int waitMs = kReceiveWaitMs);
    void Hangup();
    // Bytes sent that the slave's reader has not taken yet.
    size_t Unread() const;

private:
    int master_ = -1;
    int slaveWatch_ = -1;  // opened first, so that no exclusive open shuts it out
    std::string slave_;
};

}  // namespace testing_support
