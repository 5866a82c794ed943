// Counts the program's C++ heap allocations, for tests of paths that must allocate nothing.
#pragma once

#include <cstddef>

namespace AllocationCounter {

// Allocations through operator new since the program started.
std::size_t Count();

}  // namespace AllocationCounter
