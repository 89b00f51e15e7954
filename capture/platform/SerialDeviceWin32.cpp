// The serial device on Windows: the communications API itself, one call per
// operation, blocking, without overlapped I/O.
#include "capture/SerialDevice.h"

#include <windows.h>

#include <cstring>
#include <string_view>

#include "common/platform/LastErrorWin32.h"

namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";
// Abort pending writes and reads, discard both buffers.
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
static_assert(kPurgeAll == 0x0F);
static_assert(static_cast<DWORD>(ModemLine::SetRts) == SETRTS && static_cast<DWORD>(ModemLine::SetDtr) == SETDTR &&
              static_cast<DWORD>(ModemLine::ClearDtr) == CLRDTR);

HANDLE AsHandle(void *handle)
{
    return static_cast<HANDLE>(handle);
}

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

}  // namespace

std::string SerialDevice::DevicePath(const std::string &portName)
{
    return std::string(kDevicePrefix) + portName;
}

uint32_t SerialDevice::Open(const std::string &portName)
{
    Close();
    const std::string path = DevicePath(portName);
    const HANDLE handle =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return LastErrorCode();
    handle_ = handle;
    return 0;
}

void SerialDevice::Close()
{
    if (handle_ == nullptr)
        return;
    CloseHandle(AsHandle(handle_));  // nothing to do about a failed close
    handle_ = nullptr;
}

bool SerialDevice::IsOpen() const
{
    return handle_ != nullptr;
}

uint32_t SerialDevice::Purge()
{
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

uint32_t SerialDevice::SetTimeouts(const PortTimeouts &timeouts)
{
    COMMTIMEOUTS values{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                        timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                        timeouts.WriteTotalTimeoutConstant};
    return SetCommTimeouts(AsHandle(handle_), &values) ? 0 : LastErrorCode();
}

// Every read is the driver's; none is known to find a byte waiting.
bool SerialDevice::ReadWillWait() const
{
    return true;
}

uint32_t SerialDevice::ReadByte(uint8_t &byte, bool &got)
{
    DWORD read = 0;
    got = false;
    if (!ReadFile(AsHandle(handle_), &byte, 1, &read, nullptr))
        return LastErrorCode();
    got = read == 1;
    return 0;
}

uint32_t SerialDevice::Write(const uint8_t *bytes, size_t size, size_t &written)
{
    written = 0;
    if (size > MAXDWORD)
        return ERROR_INVALID_PARAMETER;
    DWORD done = 0;
    const BOOL ok = WriteFile(AsHandle(handle_), bytes, static_cast<DWORD>(size), &done, nullptr);
    written = done;
    return ok ? 0 : LastErrorCode();
}
