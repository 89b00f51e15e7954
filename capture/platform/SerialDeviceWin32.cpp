// The serial device on Windows: the communications API with overlapped reads
// and writes, so that no wait outlasts its time-out even on a driver that
// never completes a read of a removed converter. Reads take what waits in a
// large input queue at once and hand it out a byte at a time.
#include "capture/SerialDevice.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/platform/HandleWin32.h"
#include "common/platform/LastErrorWin32.h"

namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";
// Abort pending writes and reads, discard both buffers.
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
static_assert(kPurgeAll == 0x0F);
static_assert(static_cast<DWORD>(ModemLine::SetRts) == SETRTS && static_cast<DWORD>(ModemLine::SetDtr) == SETDTR &&
              static_cast<DWORD>(ModemLine::ClearDtr) == CLRDTR);

// A busy bus at 833333 bit/s brings some 80 KiB a second: the driver's
// default queue of a few KiB overflows while the log is written.
constexpr DWORD kInputQueueBytes = 64 * 1024;
constexpr DWORD kOutputQueueBytes = 4096;
constexpr DWORD kBlockBytes = 4096;
// How long past its own time-out a driver may take to end a transfer, and
// to give it back once cancelled, before the line counts as dead.
constexpr DWORD kDriverLateMs = 500;
constexpr DWORD kCancelWaitMs = 1000;
// What a transfer the driver never ends reads as: a time-out of the device.
constexpr uint32_t kDriverHung = ERROR_SEM_TIMEOUT;

// The flag word after BaudRate, bit by bit in the order the DCB declares it.
uint32_t FlagWordOf(const DCB &dcb)
{
    return uint32_t{dcb.fBinary} | uint32_t{dcb.fParity} << 1 | uint32_t{dcb.fOutxCtsFlow} << 2 |
           uint32_t{dcb.fOutxDsrFlow} << 3 | uint32_t{dcb.fDtrControl} << 4 | uint32_t{dcb.fDsrSensitivity} << 6 |
           uint32_t{dcb.fTXContinueOnXoff} << 7 | uint32_t{dcb.fOutX} << 8 | uint32_t{dcb.fInX} << 9 |
           uint32_t{dcb.fErrorChar} << 10 | uint32_t{dcb.fNull} << 11 | uint32_t{dcb.fRtsControl} << 12 |
           uint32_t{dcb.fAbortOnError} << 14 | uint32_t{dcb.fDummy2} << 15;
}

void SetFlagWord(DCB &dcb, uint32_t word)
{
    dcb.fBinary = word & 1;
    dcb.fParity = word >> 1 & 1;
    dcb.fOutxCtsFlow = word >> 2 & 1;
    dcb.fOutxDsrFlow = word >> 3 & 1;
    dcb.fDtrControl = word >> 4 & 3;
    dcb.fDsrSensitivity = word >> 6 & 1;
    dcb.fTXContinueOnXoff = word >> 7 & 1;
    dcb.fOutX = word >> 8 & 1;
    dcb.fInX = word >> 9 & 1;
    dcb.fErrorChar = word >> 10 & 1;
    dcb.fNull = word >> 11 & 1;
    dcb.fRtsControl = word >> 12 & 3;
    dcb.fAbortOnError = word >> 14 & 1;
    dcb.fDummy2 = word >> 15;
}

// The wait for a transfer the driver bounds by boundMs; none bounds it when
// the driver waits for ever.
DWORD TransferWait(uint64_t boundMs)
{
    if (boundMs >= kMaxDword - kDriverLateMs)
        return INFINITE;
    return static_cast<DWORD>(boundMs) + kDriverLateMs;
}

}  // namespace

// The blocks stay with the driver while a transfer is pending.
struct SerialDevice::Transfers {
    OVERLAPPED overlapped{};
    HANDLE done = nullptr;
    bool stuck = false;
    uint8_t in[kBlockBytes] = {};
    DWORD inPos = 0;
    DWORD inEnd = 0;
    uint8_t out[kBlockBytes] = {};
};

std::string SerialDevice::DevicePath(const std::string &portName)
{
    return std::string(kDevicePrefix) + portName;
}

uint32_t SerialDevice::Open(const std::string &portName)
{
    Close();
    const std::string path = DevicePath(portName);
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return LastErrorCode();
    // The queue sizes are a request; a driver that sizes its own keeps them.
    static_cast<void>(SetupComm(handle, kInputQueueBytes, kOutputQueueBytes));
    auto *io = new Transfers;
    io->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (io->done == nullptr) {
        const uint32_t code = LastErrorCode();
        delete io;
        CloseHandle(handle);  // the event's error is the one to report
        return code;
    }
    handle_ = handle;
    io_ = io;
    timeoutsSet_ = false;
    return 0;
}

void SerialDevice::Close()
{
    if (handle_ == nullptr)
        return;
    CloseHandle(AsHandle(handle_));  // nothing to do about a failed close
    handle_ = nullptr;
    // A transfer the driver still holds keeps its blocks: they are left to it.
    if (!io_->stuck) {
        CloseHandle(io_->done);
        delete io_;
    }
    io_ = nullptr;
}

bool SerialDevice::IsOpen() const
{
    return handle_ != nullptr;
}

uint32_t SerialDevice::Purge()
{
    io_->inPos = io_->inEnd = 0;
    return PurgeComm(AsHandle(handle_), kPurgeAll) ? 0 : LastErrorCode();
}

uint32_t SerialDevice::SetEventMask(uint32_t mask)
{
    return SetCommMask(AsHandle(handle_), mask) ? 0 : LastErrorCode();
}

// The whole DCB is kept as the driver reported it, so that SetState writes
// back every member the capture thread does not set.
uint32_t SerialDevice::GetState(LineConfig &config)
{
    static_assert(sizeof(DCB) <= sizeof dcb_);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(AsHandle(handle_), &dcb))
        return LastErrorCode();
    std::memcpy(dcb_, &dcb, sizeof dcb);
    config.BaudRate = dcb.BaudRate;
    config.flagWord = FlagWordOf(dcb);
    config.ByteSize = dcb.ByteSize;
    config.Parity = dcb.Parity;
    config.StopBits = dcb.StopBits;
    return 0;
}

uint32_t SerialDevice::SetState(const LineConfig &config)
{
    DCB dcb{};
    std::memcpy(&dcb, dcb_, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = config.BaudRate;
    SetFlagWord(dcb, config.flagWord);
    dcb.ByteSize = config.ByteSize;
    dcb.Parity = config.Parity;
    dcb.StopBits = config.StopBits;
    if (!SetCommState(AsHandle(handle_), &dcb))
        return LastErrorCode();
    std::memcpy(dcb_, &dcb, sizeof dcb);
    return 0;
}

uint32_t SerialDevice::Escape(ModemLine function)
{
    return EscapeCommFunction(AsHandle(handle_), static_cast<DWORD>(function)) ? 0 : LastErrorCode();
}

// The driver is asked only when a value changes: a busy bus would otherwise
// cost two driver calls a frame.
uint32_t SerialDevice::SetTimeouts(const PortTimeouts &timeouts)
{
    if (timeoutsSet_ && timeouts == timeouts_)
        return 0;
    COMMTIMEOUTS values{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                        timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                        timeouts.WriteTotalTimeoutConstant};
    if (!SetCommTimeouts(AsHandle(handle_), &values))
        return LastErrorCode();
    timeouts_ = timeouts;
    timeoutsSet_ = true;
    return 0;
}

// One overlapped transfer of the in or out block, waited for no longer than
// the driver's own bound; one the driver does not end then is cancelled, and
// one it does not give back even so leaves the line dead.
uint32_t SerialDevice::Transfer(bool read, uint32_t size, uint32_t boundMs, uint32_t &done)
{
    const HANDLE handle = AsHandle(handle_);
    done = 0;
    io_->overlapped = OVERLAPPED{};
    io_->overlapped.hEvent = io_->done;
    const BOOL started = read ? ReadFile(handle, io_->in, size, nullptr, &io_->overlapped)
                              : WriteFile(handle, io_->out, size, nullptr, &io_->overlapped);
    if (!started && GetLastError() != ERROR_IO_PENDING)
        return LastErrorCode();
    DWORD waited = WaitForSingleObject(io_->done, TransferWait(boundMs));
    if (waited == WAIT_TIMEOUT) {
        // Nothing to do when it ended meanwhile; the wait below tells.
        static_cast<void>(CancelIoEx(handle, &io_->overlapped));
        waited = WaitForSingleObject(io_->done, kCancelWaitMs);
        if (waited == WAIT_TIMEOUT) {
            io_->stuck = true;
            return kDriverHung;
        }
    }
    if (waited == WAIT_FAILED)
        return LastErrorCode();
    DWORD transferred = 0;
    if (!GetOverlappedResult(handle, &io_->overlapped, &transferred, FALSE) &&
        GetLastError() != ERROR_OPERATION_ABORTED)
        return LastErrorCode();
    done = transferred;
    return 0;
}

// How many bytes the driver holds. It fails with the removal's code on a
// pulled converter, also where the driver ends every read at once with
// nothing rather than failing it.
uint32_t SerialDevice::WaitingBytes(uint32_t &waiting)
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(AsHandle(handle_), &errors, &status))
        return LastErrorCode();
    waiting = status.cbInQue;
    return 0;
}

bool SerialDevice::ReadWillWait() const
{
    return io_ == nullptr || io_->inPos == io_->inEnd;
}

uint32_t SerialDevice::ReadByte(uint8_t &byte, bool &got)
{
    got = false;
    if (io_->stuck)
        return kDriverHung;
    if (io_->inPos == io_->inEnd) {
        // What is waiting is taken whole; with nothing waiting, one byte is
        // waited for. A read of a whole block would wait for all of it on
        // drivers (Wine's among them) that do not end it at the first byte.
        uint32_t waiting = 0;
        if (const uint32_t code = WaitingBytes(waiting))
            return code;
        const uint32_t size = std::clamp<uint32_t>(waiting, 1, kBlockBytes);
        uint32_t read = 0;
        if (const uint32_t code = Transfer(true, size, timeouts_.ReadTotalTimeoutConstant, read))
            return code;
        if (read == 0)
            return 0;
        io_->inPos = 0;
        io_->inEnd = read;
    }
    byte = io_->in[io_->inPos++];
    got = true;
    return 0;
}

uint32_t SerialDevice::Write(const uint8_t *bytes, size_t size, size_t &written)
{
    written = 0;
    if (io_->stuck)
        return kDriverHung;
    while (written < size) {
        const auto chunk = static_cast<uint32_t>(std::min<size_t>(size - written, kBlockBytes));
        std::memcpy(io_->out, bytes + written, chunk);
        const uint64_t boundMs =
            uint64_t{timeouts_.WriteTotalTimeoutMultiplier} * chunk + timeouts_.WriteTotalTimeoutConstant;
        uint32_t done = 0;
        if (const uint32_t code =
                Transfer(false, chunk, static_cast<uint32_t>(std::min<uint64_t>(boundMs, kMaxDword)), done))
            return code;
        written += done;
        if (done < chunk)
            return 0;  // cut short by the write time-out
    }
    return 0;
}
