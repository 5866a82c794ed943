#include <atomic>

#include "model/records.h"

namespace Model {
namespace {

// One sequence for the process, taken safely by models loading on several threads.
std::atomic<uint32_t> g_randomState = 1;

}  // namespace

void SeedRandom(uint32_t seed) {
    g_randomState = seed;
}

int NextRandom() {
    constexpr uint32_t kMultiplier = 214013;
    constexpr uint32_t kIncrement = 2531011;
    uint32_t state = g_randomState.load(std::memory_order_relaxed);
    uint32_t next = 0;
    do {
        next = state * kMultiplier + kIncrement;
    } while (!g_randomState.compare_exchange_weak(state, next, std::memory_order_relaxed));
    return static_cast<int>((next >> 16) & 0x7FFF);
}

}  // namespace Model
