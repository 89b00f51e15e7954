// The serial device on Linux: termios2 for exact rates, poll for per-byte
// read waits, TIOCEXCL plus flock for exclusive use, the modem-control
// ioctls for DTR and RTS.
#include "capture/SerialDevice.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string_view>

#include "common/AsciiText.h"

namespace {

constexpr int kPollForever = -1;
// The DTR and RTS control modes in the flag word, and their "disable" value.
constexpr uint32_t kDtrControlShift = 4;
constexpr uint32_t kRtsControlShift = 12;
constexpr uint32_t kLineControlMask = 3;
constexpr uint32_t kLineControlDisable = 0;

// COMn, in any letter case, stands for the n-th serial port, /dev/ttyS(n-1).
bool ParseComNumber(const std::string &name, unsigned &number)
{
    if (name.size() <= kComPrefix.size() || !StartsWithIgnoringCase(name, kComPrefix))
        return false;
    number = 0;
    for (size_t i = kComPrefix.size(); i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])) || number > 100000)
            return false;
        number = number * 10 + static_cast<unsigned>(name[i] - '0');
    }
    return number >= 1;
}

uint32_t LastError()
{
    return static_cast<uint32_t>(errno);
}

using Clock = std::chrono::steady_clock;

// The wait of one poll call until the deadline; none means wait for ever.
int PollTimeout(const std::optional<Clock::time_point> &deadline)
{
    if (!deadline)
        return kPollForever;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::max<decltype(left)>(left, 0));
}

// The end of a read wait of the read constant; waits beyond what poll can
// take count as for ever.
std::optional<Clock::time_point> ReadDeadline(uint32_t waitMs)
{
    constexpr uint32_t kMaxPollMs = 0x7FFFFFFF;
    if (waitMs > kMaxPollMs)
        return std::nullopt;
    return Clock::now() + std::chrono::milliseconds(waitMs);
}

// No echo, no line editing, no translation, reads that never block: nothing
// that arrives is sent back or held for a line end.
void MakeRaw(struct termios2 &tio)
{
    tio.c_iflag = 0;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

// Pseudo-terminals and tunnelled ports have no modem lines at all.
bool HasNoModemLines(int error)
{
    return error == ENOTTY || error == EINVAL;
}

}  // namespace

std::string SerialDevice::DevicePath(const std::string &portName)
{
    if (portName.find('/') != std::string::npos)
        return portName;
    unsigned number = 0;
    if (ParseComNumber(portName, number))
        return "/dev/ttyS" + std::to_string(number - 1);
    return "/dev/" + portName;
}

uint32_t SerialDevice::Open(const std::string &portName)
{
    Close();
    const std::string path = DevicePath(portName);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return LastError();
    // flock holds even against root, whom TIOCEXCL lets through; a device
    // that is no terminal at all has no exclusive mode to set.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY)) {
        const uint32_t code = errno == EWOULDBLOCK ? EBUSY : LastError();
        ::close(fd);
        return code;
    }
    // Raw before anything is read or written: the line discipline a device
    // opens with would echo what the adapter has waiting straight back to it.
    // A device that is no terminal has no line discipline.
    struct termios2 tio {};
    uint32_t code = 0;
    if (::ioctl(fd, TCGETS2, &tio) == 0) {
        MakeRaw(tio);
        if (::ioctl(fd, TCSETS2, &tio) != 0)
            code = LastError();
    } else if (errno != ENOTTY) {
        code = LastError();
    }
    if (code != 0) {
        ::close(fd);
        return code;
    }
    fd_ = fd;
    aheadPos_ = aheadEnd_ = 0;
    return 0;
}

void SerialDevice::Close()
{
    if (fd_ < 0)
        return;
    ::close(fd_);  // drops the lock and the exclusive mode with it
    fd_ = -1;
    aheadPos_ = aheadEnd_ = 0;
}

bool SerialDevice::IsOpen() const
{
    return fd_ >= 0;
}

uint32_t SerialDevice::Purge()
{
    aheadPos_ = aheadEnd_ = 0;
    return ::ioctl(fd_, TCFLSH, TCIOFLUSH) == 0 ? 0 : LastError();
}

uint32_t SerialDevice::SetEventMask(uint32_t)
{
    // Nothing watches line events on this platform.
    return fd_ >= 0 ? 0 : EBADF;
}

uint32_t SerialDevice::GetState(LineConfig &config)
{
    struct termios2 tio {};
    if (::ioctl(fd_, TCGETS2, &tio) != 0)
        return LastError();
    config.BaudRate = tio.c_ospeed;
    config.ByteSize = (tio.c_cflag & CSIZE) == CS8   ? 8
                      : (tio.c_cflag & CSIZE) == CS7 ? 7
                      : (tio.c_cflag & CSIZE) == CS6 ? 6
                                                     : 5;
    config.Parity = (tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? 1 : 2) : 0;
    config.StopBits = (tio.c_cflag & CSTOPB) ? 2 : 0;
    config.flagWord = 1;
    return 0;
}

uint32_t SerialDevice::SetState(const LineConfig &config)
{
    struct termios2 tio {};
    if (::ioctl(fd_, TCGETS2, &tio) != 0)
        return LastError();
    // Raw 8N1 without flow control; the rate exactly as asked.
    MakeRaw(tio);
    tio.c_cflag &= ~(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | CREAD | CLOCAL | CS8;
    if (config.Parity != 0)
        tio.c_cflag |= PARENB | (config.Parity == 1 ? PARODD : 0);
    if (config.StopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_ispeed = config.BaudRate;
    tio.c_ospeed = config.BaudRate;
    if (::ioctl(fd_, TCSETS2, &tio) != 0)
        return LastError();
    return ApplyLineControl(config.flagWord);
}

// The open raised DTR and RTS by itself; a control mode of "disable" means
// the line is off once the settings are applied.
uint32_t SerialDevice::ApplyLineControl(uint32_t flagWord)
{
    int lines = 0;
    if ((flagWord >> kDtrControlShift & kLineControlMask) == kLineControlDisable)
        lines |= TIOCM_DTR;
    if ((flagWord >> kRtsControlShift & kLineControlMask) == kLineControlDisable)
        lines |= TIOCM_RTS;
    if (lines == 0 || ::ioctl(fd_, TIOCMBIC, &lines) == 0 || HasNoModemLines(errno))
        return 0;
    return LastError();
}

uint32_t SerialDevice::Escape(ModemLine function)
{
    int bits = function == ModemLine::SetRts ? TIOCM_RTS : TIOCM_DTR;
    const unsigned long request = function == ModemLine::ClearDtr ? TIOCMBIC : TIOCMBIS;
    return ::ioctl(fd_, request, &bits) == 0 || HasNoModemLines(errno) ? 0 : LastError();
}

uint32_t SerialDevice::SetTimeouts(const PortTimeouts &timeouts)
{
    if (fd_ < 0)
        return EBADF;
    readWaitMs_ = timeouts.ReadTotalTimeoutConstant;
    writeMsPerByte_ = timeouts.WriteTotalTimeoutMultiplier;
    writeConstantMs_ = timeouts.WriteTotalTimeoutConstant;
    return 0;
}

bool SerialDevice::ReadWillWait() const
{
    return aheadPos_ == aheadEnd_;
}

uint32_t SerialDevice::ReadByte(uint8_t &byte, bool &got)
{
    got = false;
    if (aheadPos_ == aheadEnd_) {
        // A signal cuts a wait short; the wait goes on for the time left.
        const auto deadline = ReadDeadline(readWaitMs_);
        pollfd pfd{fd_, POLLIN, 0};
        int ready = 0;
        while ((ready = ::poll(&pfd, 1, PollTimeout(deadline))) < 0 && errno == EINTR) {
        }
        if (ready < 0)
            return LastError();
        if (ready == 0)
            return 0;
        const ssize_t n = ::read(fd_, ahead_, sizeof ahead_);
        if (n < 0)
            return errno == EAGAIN || errno == EINTR ? 0 : LastError();
        if (n == 0)
            return EIO;  // hang-up: the device is gone
        aheadPos_ = 0;
        aheadEnd_ = static_cast<size_t>(n);
    }
    byte = ahead_[aheadPos_++];
    got = true;
    return 0;
}

uint32_t SerialDevice::Write(const uint8_t *bytes, size_t size, size_t &written)
{
    const auto bound = std::chrono::milliseconds(uint64_t{writeMsPerByte_} * size + writeConstantMs_);
    const auto deadline = Clock::now() + bound;
    written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd_, bytes + written, size - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return LastError();
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return 0;
        pollfd pfd{fd_, POLLOUT, 0};
        if (::poll(&pfd, 1, static_cast<int>(left)) < 0 && errno != EINTR)
            return LastError();
    }
    return 0;
}
