// Watches the program's C++ heap allocations: how many (for paths that must allocate
// nothing) and the largest (for readers that must size nothing by an unchecked count).
#pragma once

#include <cstddef>

namespace AllocationCounter {

// Allocations through operator new since the program started.
std::size_t Count();

// The largest single allocation since the last ResetLargest.
std::size_t Largest();
void ResetLargest();

}  // namespace AllocationCounter
