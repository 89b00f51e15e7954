// Arbitrary bytes from the adapter: replies, frame messages and garbage, read
// and folded by the reception loop exactly as from a port. The bytes come
// from a file in memory, so the loop ends where they end.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "capture/Unit2.h"

namespace {

constexpr size_t kMaxInput = 1 << 16;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    if (size > kMaxInput)
        return 0;
    const int fd = memfd_create("adapter-bytes", MFD_CLOEXEC);
    Check(fd >= 0);
    Check(write(fd, bytes, size) == static_cast<ssize_t>(size));

    static auto control = std::make_unique<TCaptureControl>();
    static auto thread = std::make_unique<TC1>(true);
    thread->Control = control.get();
    control->flags = FlagWord::kStart;
    control->adapterLog = true;
    control->canLog = true;
    // The first byte chooses the adapter kind and the width of group 1.
    control->hardware = size > 0 ? bytes[0] & 1 : 0;
    control->radr11 = size > 0 && (bytes[0] & 2) ? 0x80000000u : 0;
    control->rto = 1;
    control->frameCount = 0;
    thread->frameIndex.Clear();
    thread->logBuffer.Clear();

    Check(thread->port.Open("/proc/self/fd/" + std::to_string(fd)) == 0);
    close(fd);
    thread->ReceiveCan();
    thread->port.Close();

    const uint16_t rows = control->frameCount.load();
    Check(rows <= kFrameTableSize);
    for (uint16_t i = 0; i < rows; ++i)
        Check(control->frames[i].length <= kMaxDataLength && control->frames[i].count >= 1);
    return 0;
}
