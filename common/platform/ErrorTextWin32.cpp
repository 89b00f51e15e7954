// Error texts on Windows come from the system message table in the user's
// language, as wide text turned into UTF-8.
#include "common/ErrorText.h"

#include <windows.h>

#include "WideText.h"
#include "common/MessageTrim.h"

namespace {
constexpr DWORD kUserLanguage = 0;
}  // namespace

std::string SystemErrorText(uint32_t code)
{
    // The system sizes the buffer: some messages pass any fixed length.
    wchar_t *text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, kUserLanguage, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    // A code without a message shows as no text, like an unknown code on the target.
    if (length == 0 || text == nullptr)
        return {};
    std::string utf8 = WideToUtf8({text, length});
    LocalFree(text);
    return TrimMessageEnd(utf8);
}

uint32_t PortBusyError()
{
    return ERROR_ACCESS_DENIED;
}

uint32_t OutOfMemoryError()
{
    return ERROR_NOT_ENOUGH_MEMORY;
}

uint32_t InputOutputError()
{
    return ERROR_GEN_FAILURE;
}

bool IsDiskFullError(uint32_t code)
{
    return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL || code == ERROR_NOT_ENOUGH_QUOTA;
}
