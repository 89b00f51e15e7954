// The serial port as the capture thread needs it, in the shape of the classic
// communications API: every call answers 0 or the operating system's error code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The members of the line configuration that the capture thread sets; a
// platform keeps every other member as its driver reported it.
struct LineConfig {
    uint32_t BaudRate = 0;
    uint32_t flagWord = 0;  // 1 = binary mode, every other flag off
    uint8_t ByteSize = 0;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;  // 0 = one stop bit
};

// Read and write time-outs in milliseconds. With both read values before the
// constant at kMaxDword, a one-byte read waits at most the constant.
struct PortTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;

    bool operator==(const PortTimeouts &) const = default;
};

constexpr uint32_t kMaxDword = 0xFFFFFFFFu;

// Port names of the classic kind: COM1, COM2, ...
constexpr std::string_view kComPrefix = "COM";

enum class ModemLine { SetRts = 3, SetDtr = 5, ClearDtr = 6 };

class SerialDevice {
public:
    SerialDevice() = default;
    SerialDevice(const SerialDevice &) = delete;
    SerialDevice &operator=(const SerialDevice &) = delete;
    ~SerialDevice() { Close(); }

    // The device path a port name stands for on this platform.
    static std::string DevicePath(const std::string &portName);

    uint32_t Open(const std::string &portName);
    void Close();
    bool IsOpen() const;

    uint32_t Purge();
    uint32_t SetEventMask(uint32_t mask);
    uint32_t GetState(LineConfig &config);
    uint32_t SetState(const LineConfig &config);
    uint32_t Escape(ModemLine function);
    uint32_t SetTimeouts(const PortTimeouts &timeouts);
    // One byte, waiting at most the read constant in force; got tells whether
    // a byte came. A failure (the device went away) answers its error code.
    uint32_t ReadByte(uint8_t &byte, bool &got);
    // Whether the next ReadByte may wait for the line (no byte read ahead).
    bool ReadWillWait() const;
    // Writes the bytes, bounded by the write time-outs; written tells how many.
    uint32_t Write(const uint8_t *bytes, size_t size, size_t &written);

private:
#ifdef _WIN32
    struct Transfers;
    uint32_t Transfer(bool read, uint32_t size, uint32_t boundMs, uint32_t &done);
    uint32_t WaitingBytes(uint32_t &waiting);

    void *handle_ = nullptr;
    unsigned char dcb_[128] = {};
    // The overlapped reads' and writes' state; a driver that never gives a
    // read back keeps it, and it is left to the driver then.
    Transfers *io_ = nullptr;
    PortTimeouts timeouts_{};
    bool timeoutsSet_ = false;
#else
    uint32_t ApplyLineControl(uint32_t flagWord);

    int fd_ = -1;
    uint32_t readWaitMs_ = 0;
    uint32_t writeMsPerByte_ = 0;
    uint32_t writeConstantMs_ = 0;
    // Bytes read ahead from the device, handed out one per ReadByte.
    uint8_t ahead_[4096] = {};
    size_t aheadPos_ = 0;
    size_t aheadEnd_ = 0;
#endif
};
