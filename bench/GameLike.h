// Game-like archive sets for the archive benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "forge/pak.h"

namespace Bench {

// Small deterministic generator for sizes and names.
class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return static_cast<uint32_t>(m_state >> 16);
    }
    uint32_t Range(uint32_t lo, uint32_t hi) { return lo + Next() % (hi - lo + 1); }

private:
    uint64_t m_state;
};

// Bytes that compress about as well as game data (3-4:1).
inline std::vector<uint8_t> GameBytes(std::size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    Random r(seed);
    for (std::size_t i = 0; i < size; ++i) {
        uint32_t x = r.Next();
        bytes[i] =
            (x & 15) ? static_cast<uint8_t>((i / 16) * 7 + (i % 4)) : static_cast<uint8_t>(x >> 8);
    }
    return bytes;
}

// Paths `depth` levels deep with `fanout` children per folder, `count` of them.
inline std::vector<std::string> TreePaths(std::size_t count, uint32_t seed, uint32_t minFanout,
                                          uint32_t maxFanout, uint32_t minDepth,
                                          uint32_t maxDepth) {
    std::vector<std::string> paths;
    paths.reserve(count);
    Random r(seed);
    std::vector<uint32_t> counters(maxDepth + 1, 0);
    while (paths.size() < count) {
        std::string folder;
        uint32_t depth = r.Range(minDepth, maxDepth);
        for (uint32_t level = 1; level < depth; ++level) {
            folder += "\\dir" + std::to_string(level) + "_" + std::to_string(r.Range(0, 7));
        }
        uint32_t files = r.Range(minFanout, maxFanout);
        for (uint32_t f = 0; f < files && paths.size() < count; ++f) {
            paths.push_back(folder + "\\file_" + std::to_string(counters[depth]++) + ".dat");
        }
    }
    return paths;
}

// Writes `paths` spread over `archives` archives named 00.pak, 01.pak, ... in `folder`,
// each file `sizeOf(i)` bytes.
template <typename SizeOf>
void WriteArchives(const std::string& folder, const std::vector<std::string>& paths,
                   std::size_t archives, SizeOf sizeOf) {
    const std::size_t perArchive = (paths.size() + archives - 1) / archives;
    for (std::size_t a = 0; a < archives; ++a) {
        std::vector<Forge::PakFile> files;
        for (std::size_t i = a * perArchive; i < std::min(paths.size(), (a + 1) * perArchive);
             ++i) {
            files.push_back(
                {.path = paths[i], .data = GameBytes(sizeOf(i), static_cast<uint32_t>(i))});
        }
        char name[16];
        std::snprintf(name, sizeof name, "/%02zu.pak", a);
        Forge::SavePak(folder + name, files);
    }
}

}  // namespace Bench
