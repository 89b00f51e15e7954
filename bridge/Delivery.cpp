#include "Delivery.h"

#include <cstring>

namespace vektacand {

std::string DropReasonText(int reason)
{
    if (reason == Delivery::kNoRoom)
        return "the reader takes frames slower than they come";
    if (reason == Delivery::kNotVcan)
        return "the interface is no vcan now; nothing is written to it";
    return std::strerror(reason);
}

}  // namespace vektacand
