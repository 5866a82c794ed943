#include "model/records.h"

namespace Model {
namespace {

uint32_t g_randomState = 1;

}  // namespace

void SeedRandom(uint32_t seed) {
    g_randomState = seed;
}

int NextRandom() {
    constexpr uint32_t kMultiplier = 214013;
    constexpr uint32_t kIncrement = 2531011;
    g_randomState = g_randomState * kMultiplier + kIncrement;
    return static_cast<int>((g_randomState >> 16) & 0x7FFF);
}

}  // namespace Model
