// The viewer's inspection windows: from a double-click on a 100 MB entry to its hex view
// shown (only the head the view shows is read and inflated, so the time doesn't grow with the
// entry), and the info panel filled in for a model of 200 bones and 50 sub-meshes. Runs on a
// private Xvfb display started here.
#include <QTreeWidget>
#include <QWidget>
#include <filesystem>

#include "FileViewer.h"
#include "GameLike.h"
#include "InfoPanel.h"
#include "QtBench.h"
#include "forge/pak.h"
#include "forge/scene.h"
#include "model/model.h"
#include "pakmgr/pakmgr.h"
#include "view/view.h"

namespace {

constexpr std::size_t kEntrySize = 100u << 20;

// A game folder holding two 100 MB entries, written once: big.bin (binary: a hex view) and
// big.txt (script-like lines: a text view).
const std::string& GameFolder() {
    static const std::string folder = [] {
        const std::string path =
            (std::filesystem::temp_directory_path() / "vell-viewer-bench-2").string();
        std::filesystem::create_directories(path);
        if (!std::filesystem::exists(path + "/data.pak")) {
            std::vector<uint8_t> binary = Bench::GameBytes(kEntrySize, 7);
            binary[0] = 0;
            std::vector<uint8_t> text;
            text.reserve(kEntrySize);
            for (int line = 0; text.size() < kEntrySize; ++line) {
                const std::string row = "local value_" + std::to_string(line) + " = " +
                                        std::to_string(line * 7919 % 100003) + "  -- 说明\n";
                text.insert(text.end(), row.begin(), row.end());
            }
            Forge::SavePak(path + "/data.pak", {{"\\data\\big.bin", std::move(binary)},
                                                {"\\data\\big.txt", std::move(text)}});
        }
        return path;
    }();
    return folder;
}

// Opens the viewer on data/<name> again and again; it must show text or hex as asked.
void OpenViewer(benchmark::State& state, const char* name, bool text) {
    PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
    mgr->Clear();
    mgr->Open(GameFolder());
    mgr->BuildTree();
    PakMgr::ITreeNode* node = mgr->GetRoot()->FindNode(name);
    QWidget owner;
    for (auto _ : state) {
        App::CFileViewer* viewer = App::ShowFileViewer(&owner, node);
        if (!viewer || viewer->IsTextView() != text) {
            state.SkipWithError("not the view asked for");
            break;
        }
        QApplication::processEvents();
        state.PauseTiming();
        delete viewer;
        state.ResumeTiming();
    }
}

void BM_OpenHexView100MB(benchmark::State& state) {
    OpenViewer(state, "big.bin", false);
}
BENCHMARK(BM_OpenHexView100MB)->Unit(benchmark::kMillisecond)->UseRealTime();

// The text view shows 2 MB of the file's head, laid out with line wrapping.
void BM_OpenTextView100MB(benchmark::State& state) {
    OpenViewer(state, "big.txt", true);
}
BENCHMARK(BM_OpenTextView100MB)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int kPanelBones = 200;
constexpr int kPanelSubMeshes = 50;

// The scene's hero with 50 textured sub-meshes, and an animation of 200 bones: a root and a
// binary tree below it, so the bone tree is as deep as it is wide.
const std::string& PanelGameFolder() {
    static const std::string folder = [] {
        const std::string path =
            (std::filesystem::temp_directory_path() / "vell-panel-bench").string();
        std::filesystem::create_directories(path);
        SceneFiles::Scene scene;
        scene.patches.clear();
        for (int i = 0; i < kPanelSubMeshes; ++i) {
            const auto x = static_cast<float>(i * 10);
            scene.patches.push_back({.x0 = x, .y0 = 0, .x1 = x + 8, .y1 = 50, .cells = 4});
        }
        std::vector<Forge::PakFile> files = SceneFiles::FilesOf(scene);
        Forge::AnimationDesc ani = SceneFiles::AnimationOf(scene);
        ani.bones.resize(1);
        for (int b = 1; b < kPanelBones; ++b) {
            const std::string parent = b == 1 ? ani.bones[0].name : "bone" + std::to_string(b / 2);
            ani.bones.push_back({"bone" + std::to_string(b), parent, {Forge::TrackDesc{}}});
        }
        files.back().data = Forge::WriteAnimation(ani);
        Forge::SavePak(path + "/data.pak", files);
        return path;
    }();
    return folder;
}

// A panel made, filled from nothing for the model shown and painted, as 设置 / 模型信息
// does the first time.
void BM_FillInfoPanel(benchmark::State& state) {
    const auto frame = QtBench::ShownFrame(PanelGameFolder());
    QtBench::Choose(*frame, SceneFiles::kSkin, App::Cmd::kRenderSkin);
    QtBench::Choose(*frame, SceneFiles::kAnimation, App::Cmd::kApplyAnimate);
    Model::IVellModel& model = *View::GetModel();
    if (model.GetBones().size() != kPanelBones) {
        state.SkipWithError("the model was not loaded");
        return;
    }
    for (auto _ : state) {
        App::CInfoPanel panel(frame.get(), model);
        panel.setFloating(true);
        panel.resize(320, 900);
        panel.show();
        panel.Fill();
        QApplication::processEvents();
        state.PauseTiming();
        if (panel.Section(0)->child(0)->childCount() != kPanelSubMeshes) {
            state.SkipWithError("sub-meshes missing");
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FillInfoPanel)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return QtBench::Main(argc, argv, QtBench::Display::Xvfb);
}
