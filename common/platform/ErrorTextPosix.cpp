// Error texts on Linux come from strerror in the program's locale, turned
// into UTF-8 for the window and the log.
#include "common/ErrorText.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "common/MessageTrim.h"

namespace {

std::string ToUtf8(const std::string &text)
{
    const char *codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || std::string_view(codeset) == "UTF-8" || std::string_view(codeset) == "ANSI_X3.4-1968")
        return text;
    iconv_t cd = iconv_open("UTF-8", codeset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return text;
    std::string out(text.size() * 4, '\0');
    char *in = const_cast<char *>(text.data());
    size_t inLeft = text.size();
    char *outAt = out.data();
    size_t outLeft = out.size();
    const size_t done = iconv(cd, &in, &inLeft, &outAt, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1))
        return text;
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

std::string SystemErrorText(uint32_t code)
{
    char buffer[256] = {};
    // The GNU strerror_r answers a pointer that may or may not be buffer.
    const char *text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    return TrimMessageEnd(ToUtf8(text != nullptr ? text : ""));
}

uint32_t PortBusyError()
{
    return EBUSY;
}

uint32_t OutOfMemoryError()
{
    return ENOMEM;
}

uint32_t InputOutputError()
{
    return EIO;
}

bool IsDiskFullError(uint32_t code)
{
    return code == ENOSPC || code == EDQUOT;
}
