// termios2 carries any rate exactly; its header clashes with <termios.h>,
// so this file stays on its own.
#include "LineRate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vektasim {

bool SlaveLineRate(int masterFd, uint32_t &bitsPerSecond)
{
    // On a master, the terminal calls act on the slave's settings.
    struct termios2 settings {};
    if (::ioctl(masterFd, TCGETS2, &settings) != 0)
        return false;
    bitsPerSecond = settings.c_ospeed;
    return true;
}

}  // namespace vektasim
