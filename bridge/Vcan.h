// A vcan interface made and brought up through rtnetlink.
#pragma once

#include <string>

namespace vektacand {

// Creates the vcan interface name unless it exists, and brings it up unless
// it is up. An interface of that name that is no vcan is left as it is,
// with EEXIST. Answers 0 or the errno of the step that failed (EPERM
// without CAP_NET_ADMIN).
int EnsureVcan(const std::string &name);

// What an administrator runs instead of --create.
std::string VcanCommands(const std::string &name);

}  // namespace vektacand
