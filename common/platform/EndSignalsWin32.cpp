// Windows ends a windowed program through its window's messages, which the
// toolkit turns into a close; there are no end signals to watch.
#include "common/EndSignals.h"

#include <windows.h>

int WatchEndSignals(uint32_t &error)
{
    error = ERROR_NOT_SUPPORTED;
    return -1;
}

int TakeEndSignals(int)
{
    return 0;
}

// No signal reaches here; ending at once is ending the process.
void EndAtOnce(int signalNumber)
{
    ExitProcess(static_cast<UINT>(signalNumber));
}
