// Whole-folder export (`vell gltf --each`) over a game of 40 characters made from the sample
// game's: every character folder with its skins, textures and animations, each a copy. Run
// with one worker and with two; wall time and the process's CPU time both count.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "export/folder.h"
#include "forge/sample.h"
#include "pakmgr/pakmgr.h"

namespace {

constexpr int kCharacters = 40;
constexpr char kCharacterFolder[] = "\\chars\\hero\\";
constexpr char kPartsFolder[] = "\\chars\\hero\\parts\\";

// The game on disk and opened: chars\heroNN\... for every character.
class ManyCharacters {
public:
    ManyCharacters() {
        m_folder = (std::filesystem::temp_directory_path() /
                    ("vell-each-bench-" + std::to_string(::getpid())))
                       .string();
        std::filesystem::create_directories(m_folder);
        std::vector<Forge::PakFile> files;
        const Forge::SampleGame sample = Forge::MakeSampleGame();
        for (int c = 0; c < kCharacters; ++c) {
            const std::string folder = "\\chars\\hero" + std::to_string(c) + "\\";
            for (const Forge::SampleArchive& archive : sample.archives) {
                for (const Forge::PakFile& file : archive.files) {
                    if (file.path.rfind(kCharacterFolder, 0) == 0 &&
                        file.path.rfind(kPartsFolder, 0) != 0) {
                        files.push_back(
                            {folder + file.path.substr(sizeof kCharacterFolder - 1), file.data});
                    }
                }
            }
        }
        Forge::SavePak(m_folder + "/chars.pak", files);
        PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
        mgr->Clear();
        mgr->Open(m_folder);
        mgr->BuildTree();
    }
    ~ManyCharacters() {
        PakMgr::GetPakMgr()->Clear();
        std::filesystem::remove_all(m_folder);
    }
    std::string Out() const { return m_folder + "/out"; }

private:
    std::string m_folder;
};

ManyCharacters& Game() {
    static ManyCharacters game;
    return game;
}

void BM_EachGlb(benchmark::State& state) {
    ManyCharacters& game = Game();
    Export::FolderOptions options{.jobs = static_cast<unsigned>(state.range(0))};
    Export::FolderSummary summary;
    for (auto _ : state) {
        summary = Export::ExportFolder(PakMgr::FindPath(*PakMgr::GetPakMgr(), "chars"), game.Out(),
                                       options, nullptr);
    }
    state.counters["models"] = static_cast<double>(summary.written);
    state.counters["failed"] = static_cast<double>(summary.failed);
}
BENCHMARK(BM_EachGlb)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
