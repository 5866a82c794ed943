// Software DDS decoding of 1024×1024 images: the library's decoder next to a plain
// per-pixel decoder written straight from the format's description.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "dds/dds.h"

namespace {

using Dds::DdsInfo;
using Dds::DdsKind;

constexpr uint32_t kSide = 1024;

DdsInfo MakeInfo(DdsKind kind) {
    DdsInfo info;
    info.width = kSide;
    info.height = kSide;
    info.depth = 1;
    info.kind = kind;
    info.bitCount = 32;
    info.masks[0] = 0x00FF0000;
    info.masks[1] = 0x0000FF00;
    info.masks[2] = 0x000000FF;
    info.masks[3] = 0xFF000000;
    return info;
}

std::size_t RawBytes(DdsKind kind) {
    std::size_t blocks = std::size_t{kSide / 4} * (kSide / 4);
    switch (kind) {
        case DdsKind::DXT1:
            return blocks * 8;
        case DdsKind::RGBA:
            return std::size_t{kSide} * kSide * 4;
        default:
            return blocks * 16;
    }
}

// Random bytes: about half the DXT1 blocks take each colour mode, DXT5 alpha likewise.
const std::vector<uint8_t>& Raw(DdsKind kind) {
    static std::vector<uint8_t> cache[7];
    auto& raw = cache[static_cast<int>(kind)];
    if (raw.empty()) {
        std::mt19937 random(static_cast<unsigned>(kind) + 1);
        raw.resize(RawBytes(kind));
        for (auto& b : raw) {
            b = static_cast<uint8_t>(random());
        }
    }
    return raw;
}

// ---- The plain decoder --------------------------------------------------------------

uint32_t Le(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        v |= uint32_t{p[i]} << (8 * i);
    }
    return v;
}

void PlainColour(const uint8_t* block, bool threeColourAllowed, int index, uint8_t* out) {
    uint32_t c[2] = {Le(block, 2), Le(block + 2, 2)};
    int e[2][3];
    for (int k = 0; k < 2; ++k) {
        e[k][0] = static_cast<int>((c[k] >> 11) << 3);
        e[k][1] = static_cast<int>(((c[k] >> 5) & 63) << 2);
        e[k][2] = static_cast<int>((c[k] & 31) << 3);
    }
    bool four = !threeColourAllowed || c[0] > c[1];
    for (int ch = 0; ch < 3; ++ch) {
        int v = 0;
        switch (index) {
            case 0:
                v = e[0][ch];
                break;
            case 1:
                v = e[1][ch];
                break;
            case 2:
                v = four ? (2 * e[0][ch] + e[1][ch] + 1) / 3 : (e[0][ch] + e[1][ch]) / 2;
                break;
            default:
                v = (e[0][ch] + 2 * e[1][ch] + 1) / 3;
                break;
        }
        out[ch] = static_cast<uint8_t>(v);
    }
    out[3] = (!four && index == 3) ? 0 : 255;
}

uint8_t PlainAlpha(const uint8_t* block, int pixel) {
    int a0 = block[0], a1 = block[1];
    int bit = 16 + 3 * pixel;
    int index = 0;
    for (int i = 0; i < 3; ++i, ++bit) {
        index |= ((block[bit / 8] >> (bit % 8)) & 1) << i;
    }
    if (index == 0) {
        return static_cast<uint8_t>(a0);
    }
    if (index == 1) {
        return static_cast<uint8_t>(a1);
    }
    if (a0 > a1) {
        return static_cast<uint8_t>(((8 - index) * a0 + (index - 1) * a1 + 3) / 7);
    }
    if (index == 6) {
        return 0;
    }
    if (index == 7) {
        return 255;
    }
    return static_cast<uint8_t>(((6 - index) * a0 + (index - 1) * a1 + 2) / 5);
}

std::vector<uint8_t> PlainDecode(const DdsInfo& info, const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> out(std::size_t{info.width} * info.height * 4);
    const uint32_t blocksAcross = (info.width + 3) / 4;
    for (uint32_t y = 0; y < info.height; ++y) {
        for (uint32_t x = 0; x < info.width; ++x) {
            uint8_t* px = &out[(std::size_t{y} * info.width + x) * 4];
            if (info.kind == DdsKind::RGBA) {
                uint32_t word = Le(&raw[(std::size_t{y} * info.width + x) * 4], 4);
                for (int ch = 0; ch < 4; ++ch) {
                    uint32_t mask = info.masks[ch];
                    int shift = mask ? std::countr_zero(mask) : 0;
                    int bits = mask ? std::min(std::countr_one(mask >> shift), 8) : 0;
                    px[ch] = static_cast<uint8_t>((((word & mask) >> shift) & 255) << (8 - bits));
                }
                continue;
            }
            std::size_t blockIndex = std::size_t{y / 4} * blocksAcross + x / 4;
            int pixel = static_cast<int>((y % 4) * 4 + x % 4);
            if (info.kind == DdsKind::DXT1) {
                const uint8_t* block = &raw[blockIndex * 8];
                PlainColour(block, true, (Le(block + 4, 4) >> (2 * pixel)) & 3, px);
            } else {
                const uint8_t* block = &raw[blockIndex * 16];
                PlainColour(block + 8, false, (Le(block + 12, 4) >> (2 * pixel)) & 3, px);
                px[3] = PlainAlpha(block, pixel);
            }
        }
    }
    return out;
}

// Both decoders must agree before either is timed.
void CheckAgreement(DdsKind kind) {
    DdsInfo info = MakeInfo(kind);
    if (Dds::DecodePixels(info, Raw(kind)) != PlainDecode(info, Raw(kind))) {
        std::fprintf(stderr, "decoders disagree on %s\n", Dds::KindName(kind));
        std::abort();
    }
}

void BM_Decode(benchmark::State& state, DdsKind kind) {
    CheckAgreement(kind);
    DdsInfo info = MakeInfo(kind);
    const auto& raw = Raw(kind);
    for (auto _ : state) {
        auto out = Dds::DecodePixels(info, raw);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_PlainDecode(benchmark::State& state, DdsKind kind) {
    DdsInfo info = MakeInfo(kind);
    const auto& raw = Raw(kind);
    for (auto _ : state) {
        auto out = PlainDecode(info, raw);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Decode, DXT1, DdsKind::DXT1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainDecode, DXT1, DdsKind::DXT1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, DXT5, DdsKind::DXT5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainDecode, DXT5, DdsKind::DXT5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, BGRA32, DdsKind::RGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainDecode, BGRA32, DdsKind::RGBA)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
