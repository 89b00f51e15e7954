// Wakes the serving thread out of its poll when a caller changed something.
#pragma once

#include <string>

namespace vektasim {

class WakeFd {
public:
    WakeFd() = default;
    ~WakeFd();
    WakeFd(const WakeFd &) = delete;
    WakeFd &operator=(const WakeFd &) = delete;

    bool Open(std::string &error);
    int Fd() const { return fd_; }
    void Signal();
    void Drain();

private:
    int fd_ = -1;
};

}  // namespace vektasim
