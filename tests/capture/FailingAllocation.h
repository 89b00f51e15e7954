// An exhausted heap on demand: the program that links FailingAllocation.cpp
// has the array forms of operator new and delete replaced, so that a test can
// make one chosen allocation fail with std::bad_alloc as a full heap would.
#pragma once

#include <cstddef>

namespace testing_support {

// The array allocation of exactly bytes that comes after passes more of that
// size fails; every other allocation goes on as usual.
void FailArrayAllocation(size_t bytes, int passes);

}  // namespace testing_support
