#include "WineSupport.h"

#include <windows.h>

#include <cstdio>

#include "capture/Unit2.h"
#include "tests/support/BenchTrace.h"
#include "tests/support/CaptureSupport.h"

namespace wine_support {

using bench_support::Environment;

bool UnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void NoteWineDifference(const std::string &what)
{
    std::printf("[ WINE     ] %s\n", what.c_str());
}

SimulatedAdapter AdapterFromEnvironment(const std::string &kind)
{
    return {Environment("VEKTAMON_TEST_" + kind + "_PORT"), Environment("VEKTAMON_TEST_" + kind + "_RECORD")};
}

bool OnDriverBench()
{
    return !Environment("VEKTABENCH_TRACE").empty();
}

bool WaitForAttempts(size_t count)
{
    // An attempt is opening (state 1) for tens of milliseconds and they
    // come 300 ms apart, so polling sees every one.
    size_t attempts = 0;
    int32_t last = CaptureControl.state.load();
    return testing_support::WaitFor([&] {
        const int32_t now = CaptureControl.state.load();
        if (now == CaptureState::kOpening && last != CaptureState::kOpening)
            ++attempts;
        last = now;
        return attempts >= count;
    });
}

}  // namespace wine_support
