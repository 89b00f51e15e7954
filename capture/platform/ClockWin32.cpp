// Time services on Windows: the multimedia millisecond counter, and the
// system timer resolution through ntdll, which exports no import library
// entry for it.
#include "capture/Clock.h"

#include <windows.h>

#include <mmsystem.h>

namespace {

using QueryTimerResolutionProc = LONG(NTAPI *)(ULONG *coarsest, ULONG *finest, ULONG *current);
using SetTimerResolutionProc = LONG(NTAPI *)(ULONG desired, BOOLEAN request, ULONG *actual);

constexpr LONG kStatusSuccess = 0;

template <class Proc>
Proc NtdllProc(const char *name)
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr)
        return nullptr;
    // FARPROC stands for any signature; the cast through void * says so.
    return reinterpret_cast<Proc>(reinterpret_cast<void *>(GetProcAddress(ntdll, name)));
}

}  // namespace

TimerResolution QueryTimerResolution()
{
    static const auto query = NtdllProc<QueryTimerResolutionProc>("NtQueryTimerResolution");
    ULONG coarsest = 0;
    ULONG finest = 0;
    ULONG current = 0;
    if (query == nullptr || query(&coarsest, &finest, &current) != kStatusSuccess)
        return {};
    return {coarsest, finest, current};
}

uint32_t SetTimerResolution(uint32_t period100ns, bool request)
{
    static const auto set = NtdllProc<SetTimerResolutionProc>("NtSetTimerResolution");
    ULONG actual = 0;
    // A refused request or release leaves the period that was in force.
    if (set == nullptr || set(period100ns, request ? TRUE : FALSE, &actual) != kStatusSuccess)
        return QueryTimerResolution().current;
    return actual;
}

uint64_t WallClockMicroseconds()
{
    // FILETIME counts 100 ns from 1601; 1970 lies this many units later.
    constexpr uint64_t kUnixEpoch100ns = 116444736000000000u;
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);  // cannot fail
    const uint64_t units = (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (units - kUnixEpoch100ns) / 10u;
}

class Win32Clock final : public CaptureClock {
public:
    uint32_t Milliseconds() override { return timeGetTime(); }

    void Sleep(std::chrono::milliseconds duration) override
    {
        const auto ms = duration.count();
        // INFINITE is not a duration; the longest finite wait stands for longer ones.
        ::Sleep(ms <= 0 ? 0 : ms >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(ms));
    }

    LocalDateTime LocalTime() override
    {
        SYSTEMTIME t{};
        GetLocalTime(&t);  // cannot fail
        return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    }
};

CaptureClock &SystemClock()
{
    static Win32Clock clock;
    return clock;
}
