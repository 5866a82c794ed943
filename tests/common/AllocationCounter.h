// Watches the program's C++ heap allocations: how many (for paths that must allocate
// nothing) and the largest (for readers that must size nothing by an unchecked count); and
// makes large ones fail, for the paths that must survive memory running out.
#pragma once

#include <cstddef>

namespace AllocationCounter {

// Allocations through operator new since the program started.
std::size_t Count();

// The largest single allocation since the last ResetLargest.
std::size_t Largest();
void ResetLargest();

// While one lives, an allocation through operator new of more than `bytes` throws
// std::bad_alloc, as it would where memory runs out.
class FailAbove {
public:
    explicit FailAbove(std::size_t bytes);
    ~FailAbove();
    FailAbove(const FailAbove&) = delete;
    FailAbove& operator=(const FailAbove&) = delete;
};

}  // namespace AllocationCounter
