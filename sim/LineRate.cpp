// termios2 carries any rate exactly; its header clashes with <termios.h>,
// so this file stays on its own.
#include "LineRate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vektasim {

uint32_t SlaveLineRate(int masterFd)
{
    // On a master, the terminal calls act on the slave's settings.
    struct termios2 settings {};
    if (::ioctl(masterFd, TCGETS2, &settings) != 0)
        return 0;
    return settings.c_ospeed;
}

}  // namespace vektasim
