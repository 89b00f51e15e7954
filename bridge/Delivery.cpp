#include "Delivery.h"

#include <cstring>

namespace vektacand {

std::string DropReasonText(int reason)
{
    if (reason == Delivery::kNoRoom)
        return "the reader takes frames slower than they come";
    return std::strerror(reason);
}

}  // namespace vektacand
