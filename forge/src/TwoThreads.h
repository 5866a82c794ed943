// The sample game is made on two threads through the program's one parallel helper: what a
// piece of work throws comes back to the caller, and when no thread can be made the caller
// does all of it.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <vector>

#include "base/parallel.h"

namespace Forge::SampleBuild {

// Calls work(i) for every i below `count` on two threads; throws again what the first
// failing index threw.
inline void OnTwoThreads(std::size_t count, const std::function<void(std::size_t)>& work) {
    const std::vector<Base::Failure> failures = Base::ForEachIndex(count, 2, work);
    if (!failures.empty()) {
        std::rethrow_exception(failures.front().error);
    }
}

// Runs `first` and `second` at once.
inline void Both(const std::function<void()>& first, const std::function<void()>& second) {
    OnTwoThreads(2, [&](std::size_t i) { i == 0 ? first() : second(); });
}

}  // namespace Forge::SampleBuild
