// The file viewer: from a double-click on a 100 MB entry to its hex view shown. The entry is
// read and inflated whole; the view shows its head, so the dump's size doesn't grow with it.
// Runs on Qt's offscreen platform: no display needed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <filesystem>

#include "FileViewer.h"
#include "GameLike.h"
#include "forge/pak.h"
#include "pakmgr/pakmgr.h"

namespace {

constexpr std::size_t kEntrySize = 100u << 20;

// A game folder holding one 100 MB binary entry, written once.
const std::string& GameFolder() {
    static const std::string folder = [] {
        const std::string path =
            (std::filesystem::temp_directory_path() / "vell-viewer-bench").string();
        std::filesystem::create_directories(path);
        if (!std::filesystem::exists(path + "/data.pak")) {
            std::vector<uint8_t> bytes = Bench::GameBytes(kEntrySize, 7);
            bytes[0] = 0;  // binary: a hex view
            Forge::SavePak(path + "/data.pak", {{"\\data\\big.bin", std::move(bytes)}});
        }
        return path;
    }();
    return folder;
}

void BM_OpenHexView100MB(benchmark::State& state) {
    PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
    mgr->Clear();
    mgr->Open(GameFolder());
    mgr->BuildTree();
    PakMgr::ITreeNode* node = mgr->GetRoot()->FindNode("big.bin");
    QWidget owner;
    for (auto _ : state) {
        App::CFileViewer* viewer = App::ShowFileViewer(&owner, node);
        if (!viewer || viewer->IsTextView()) {
            state.SkipWithError("no hex view");
            break;
        }
        QApplication::processEvents();
        state.PauseTiming();
        delete viewer;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenHexView100MB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
