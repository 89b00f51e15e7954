// Where each stretch of a run lies in time. A file's name holds the local
// second at which it was written; its stamps count milliseconds from the
// run's start or, after a "Continue" line, from just after the write before.
#pragma once

#include <cstdint>
#include <vector>

#include "RunReader.h"

namespace vektalog {

// The moment of each stretch's stamp 0, in milliseconds since 1970:
// - a "Continue" stretch at the second named by the file of the stretch
//   before it, or at that stretch's last line if that is later: never after
//   the true moment, at most a second plus the write's own time before it;
// - the first stretch so that its last line falls at the second its file
//   names: no line ever lies after its file was written.
std::vector<int64_t> StretchStarts(const RunShape &shape);

}  // namespace vektalog
