// A bare pseudo-terminal for the POSIX tests: the test plays the far end on
// the master.
#pragma once

#include <cstddef>
#include <string>

namespace testing_support {

class Pty {
public:
    Pty();
    ~Pty();
    const std::string &slave() const { return slave_; }
    void Send(const std::string &bytes);
    // Up to size bytes, waiting at most a few seconds for them.
    std::string Receive(size_t size);
    void Hangup();

private:
    int master_ = -1;
    std::string slave_;
};

}  // namespace testing_support
