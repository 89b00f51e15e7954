#include "PortList.h"

namespace {
constexpr char kTtyClassFolder[] = "/sys/class/tty";
}

std::vector<std::string> SystemPortNames()
{
    return SerialTtys(kTtyClassFolder);
}
