// Error texts on Windows come from the system message table in the user's
// language, as wide text turned into UTF-8.
#include "common/ErrorText.h"

#include <windows.h>

#include "WideText.h"
#include "common/MessageTrim.h"

namespace {
constexpr DWORD kMessageChars = 256;
constexpr DWORD kUserLanguage = 0;
}  // namespace

std::string SystemErrorText(uint32_t code)
{
    wchar_t text[kMessageChars] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                        kUserLanguage, text, kMessageChars, nullptr);
    // A code without a message shows as no text, like an unknown code on the target.
    if (length == 0)
        return {};
    return TrimMessageEnd(WideToUtf8({text, length}));
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
