// How long `vell make-sample` takes: building the archives in memory (painting, DXT
// encoding, skinning weights, compression) and writing them.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "forge/sample.h"

namespace {

void BM_MakeSampleGame(benchmark::State& state) {
    for (auto _ : state) {
        Forge::SampleGame game = Forge::MakeSampleGame();
        benchmark::DoNotOptimize(game.archives.data());
    }
}
BENCHMARK(BM_MakeSampleGame)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_SaveSampleGame(benchmark::State& state) {
    const Forge::SampleGame game = Forge::MakeSampleGame();
    std::string pattern = (std::filesystem::temp_directory_path() / "vell-bench-XXXXXX").string();
    const std::string folder = ::mkdtemp(pattern.data());
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = Forge::SaveSampleGame(game, folder);
    }
    state.SetBytesProcessed(int64_t(bytes) * state.iterations());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SaveSampleGame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
