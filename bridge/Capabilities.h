// The process keeps CAP_NET_ADMIN (as the systemd unit grants it) only when
// it is to create its interface.
#pragma once

namespace vektacand {

// Drops every capability from the process's ambient, effective, permitted
// and inheritable sets; answers 0 or the errno of the failing call.
int DropCapabilities();

}  // namespace vektacand
