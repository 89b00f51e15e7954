// What kind of link a network interface is (vcan, vxcan, can, ...), as
// rtnetlink reports it: only a vcan is safe to write every frame to.
#pragma once

#include <string>

namespace vektacand {

constexpr char kVcanKind[] = "vcan";

// The kind of the interface with this index; empty when it has none (lo,
// most physical devices). Answers 0, ENODEV when there is no such
// interface, or the errno of the failed step.
int AskLinkKind(unsigned index, std::string &kind);

}  // namespace vektacand
