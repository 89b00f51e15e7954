#include "SimTestSupport.h"

#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "tests/support/ExpectedWire.h"

namespace simtest {

std::unique_ptr<vektasim::Simulator> Start(const vektasim::Options &options)
{
    auto sim = std::make_unique<vektasim::Simulator>(options);
    std::string error;
    EXPECT_TRUE(sim->Start(error)) << error;
    return sim;
}

namespace {

constexpr int kReadPollMs = 100;

}  // namespace

std::vector<Bytes> InitCommands(vektasim::Kind kind)
{
    std::vector<Bytes> commands;
    if (kind == vektasim::Kind::Trilox)
        commands.push_back(testing_support::TriloxSetup());
    Bytes filters = {0x53, 0x20};
    filters.resize(34, 0x00);
    commands.push_back({0x5F, 0x00});
    commands.push_back({0x52, 0x00});
    commands.push_back({0x55, 0x03, 0x81, 0xFE, 0x03});
    commands.push_back(filters);
    commands.push_back({0x52, 0x00});
    commands.push_back({0x57, 0x01, 0x03});
    return commands;
}

std::string HexText(const Bytes &bytes)
{
    std::string text;
    for (uint8_t byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", byte);
        if (!text.empty())
            text += ' ';
        text += pair;
    }
    return text;
}

SlaveEnd::SlaveEnd(const std::string &path)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    // Like the capture, drop whatever an earlier client left unread.
    if (fd_ >= 0 && (::ioctl(fd_, TCFLSH, TCIOFLUSH) != 0 || !SetLineRate(kLineRate))) {
        ::close(fd_);
        fd_ = -1;
    }
}

SlaveEnd::~SlaveEnd()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool SlaveEnd::SetLineRate(uint32_t bitsPerSecond)
{
    struct termios2 tio {};
    if (::ioctl(fd_, TCGETS2, &tio) != 0)
        return false;
    tio.c_iflag = 0;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cflag &= ~(CBAUD | CIBAUD | CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | CREAD | CLOCAL | CS8;
    tio.c_ispeed = bitsPerSecond;
    tio.c_ospeed = bitsPerSecond;
    return ::ioctl(fd_, TCSETS2, &tio) == 0;
}

bool SlaveEnd::Send(const Bytes &bytes)
{
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

// Reads what is there, waiting a little for it; false at end of file or error.
bool SlaveEnd::Fill()
{
    pollfd pfd{fd_, POLLIN, 0};
    if (::poll(&pfd, 1, kReadPollMs) < 0)
        return false;
    uint8_t buffer[4096];
    const ssize_t size = ::read(fd_, buffer, sizeof buffer);
    if (size > 0)
        pending_.insert(pending_.end(), buffer, buffer + size);
    return size > 0 || (size < 0 && errno == EAGAIN);
}

Bytes SlaveEnd::ReadBytes(size_t count)
{
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (pending_.size() < count && std::chrono::steady_clock::now() < end)
        if (!Fill())
            break;
    const size_t size = std::min(count, pending_.size());
    Bytes bytes(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(size));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(size));
    return bytes;
}

Bytes SlaveEnd::ReadMessage()
{
    Bytes header = ReadBytes(2);
    if (header.size() < 2)
        return {};
    const Bytes payload = ReadBytes(header[1]);
    if (payload.size() < header[1])
        return {};
    header.insert(header.end(), payload.begin(), payload.end());
    return header;
}

bool SlaveEnd::Initialise(vektasim::Kind kind)
{
    for (const Bytes &command : InitCommands(kind)) {
        const bool setup = command[0] == 0x59;
        if ((setup && !SetLineRate(kTriloxSetupRate)) || !Send(command))
            return false;
        if (ReadMessage() != Bytes{command[0], 0x00})
            return false;
        if (setup && !SetLineRate(kLineRate))
            return false;
    }
    return true;
}

size_t SlaveEnd::WaitingInLine() const
{
    int waiting = 0;
    return ::ioctl(fd_, FIONREAD, &waiting) == 0 ? static_cast<size_t>(waiting) : 0;
}

bool SlaveEnd::WaitForHangup()
{
    return WaitFor([this] {
        pollfd pfd{fd_, POLLIN, 0};
        if (::poll(&pfd, 1, 0) < 0 || (pfd.revents & (POLLHUP | POLLERR)))
            return true;
        uint8_t byte = 0;
        const ssize_t size = ::read(fd_, &byte, 1);
        return size == 0 || (size < 0 && errno != EAGAIN);
    });
}

}  // namespace simtest
