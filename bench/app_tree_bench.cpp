// The desktop program's tree pane: from a chosen game folder to a browsable tree, with the
// lazy item model of the program against a QTreeWidget filled item by item with sorting on
// and a progress bar stepped per file (the classic way); and one keystroke of the filter.
// Runs on Qt's offscreen platform: no display needed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QProgressBar>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>
#include <map>
#include <memory>

#include "GameLike.h"
#include "MainFrame.h"
#include "QtBench.h"
#include "TreeModel.h"
#include "base/text.h"
#include "pakmgr/pakmgr.h"

namespace {

// A game folder with `count` small entries, written once per size.
const std::string& GameFolder(std::size_t count) {
    static std::map<std::size_t, std::string> folders;
    auto it = folders.find(count);
    if (it != folders.end()) {
        return it->second;
    }
    const std::string folder =
        (std::filesystem::temp_directory_path() / ("vell-app-bench-" + std::to_string(count)))
            .string();
    std::filesystem::create_directories(folder);
    if (!std::filesystem::exists(folder + "/data.pak")) {
        std::vector<Forge::PakFile> files;
        for (const std::string& path : Bench::TreePaths(count, 7, 20, 400, 2, 5)) {
            files.push_back({path, Bench::GameBytes(16, 1)});
        }
        Forge::SavePak(folder + "/data.pak", files);
    }
    return folders.emplace(count, folder).first->second;
}

void BM_OpenLazyTree(benchmark::State& state) {
    const std::string& folder = GameFolder(static_cast<std::size_t>(state.range(0)));
    App::CVellModelBrowserMainFrame frame;
    frame.Create();
    frame.resize(960, 720);
    for (auto _ : state) {
        frame.OpenGameFolder(QString::fromStdString(folder));
        // Browsable: the top level laid out.
        benchmark::DoNotOptimize(frame.TreeModel()->rowCount());
        frame.Tree()->doItemsLayout();
    }
    state.counters["entries"] = PakMgr::GetPakMgr()->GetFileCount();
}
BENCHMARK(BM_OpenLazyTree)->Arg(35000)->Arg(200000)->Unit(benchmark::kMillisecond);

// The classic fill: every node inserted as an item, sorted, with the progress bar stepped
// for every file.
class TreeWidgetFill final : public PakMgr::ITreeCtrl {
public:
    TreeWidgetFill(QTreeWidget& tree, QProgressBar& progress)
        : m_tree(tree), m_progress(progress) {}
    void* InsertNode(PakMgr::ITreeNode* node, void* parentItem, bool isLeaf) override {
        if (isLeaf) {
            m_progress.setValue(m_progress.value() + 1);
        }
        const QStringList text{QString::fromStdString(Base::GbkToUtf8(node->Name()))};
        auto* parent = static_cast<QTreeWidgetItem*>(parentItem);
        return parent ? new QTreeWidgetItem(parent, text) : new QTreeWidgetItem(&m_tree, text);
    }
    void SetNodeData(void* item, PakMgr::ITreeNode* node) override {
        static_cast<QTreeWidgetItem*>(item)->setData(0, Qt::UserRole,
                                                     QVariant::fromValue<void*>(node));
    }

private:
    QTreeWidget& m_tree;
    QProgressBar& m_progress;
};

void BM_OpenTreeWidget(benchmark::State& state) {
    const std::string& folder = GameFolder(static_cast<std::size_t>(state.range(0)));
    QTreeWidget tree;
    tree.setSortingEnabled(true);
    tree.resize(150, 600);
    tree.show();
    QProgressBar progress;
    progress.show();
    PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
    for (auto _ : state) {
        tree.clear();
        mgr->Clear();
        mgr->Open(folder);
        progress.setRange(0, static_cast<int>(mgr->GetFileCount() % 65536));
        progress.setValue(0);
        mgr->BuildTree();
        TreeWidgetFill fill(tree, progress);
        mgr->WalkTree(&fill);
        tree.doItemsLayout();
    }
}
BENCHMARK(BM_OpenTreeWidget)->Arg(35000)->Arg(200000)->Unit(benchmark::kMillisecond);

// One keystroke of the filter on a tree whose names were already prepared.
void BM_FilterKeystroke(benchmark::State& state) {
    const std::string& folder = GameFolder(static_cast<std::size_t>(state.range(0)));
    App::CVellModelBrowserMainFrame frame;
    frame.Create();
    frame.OpenGameFolder(QString::fromStdString(folder));
    frame.TreeModel()->SetFilter(QStringLiteral("x"));
    int i = 0;
    for (auto _ : state) {
        // Alternate between two texts so that every keystroke does the whole work.
        frame.TreeModel()->SetFilter(++i % 2 ? QStringLiteral("file_12")
                                             : QStringLiteral("FILE_3"));
    }
}
BENCHMARK(BM_FilterKeystroke)->Arg(200000)->Unit(benchmark::kMillisecond);

// One keystroke of a pattern: a wildcard over names, a path whose folders are compared, and
// one that every file matches (each file's folders walked, every item shown).
void BM_WildcardFilterKeystroke(benchmark::State& state) {
    static const QString kPatterns[][2] = {
        {QStringLiteral("*_1?.dat"), QStringLiteral("file_2*")},
        {QStringLiteral("dir1_3/*.dat"), QStringLiteral("dir2_*/file_1*.dat")},
        {QStringLiteral("dir*/*.dat"), QStringLiteral("*.dat")},
    };
    const auto& pair = kPatterns[state.range(1)];
    const std::string& folder = GameFolder(static_cast<std::size_t>(state.range(0)));
    App::CVellModelBrowserMainFrame frame;
    frame.Create();
    frame.OpenGameFolder(QString::fromStdString(folder));
    frame.TreeModel()->SetFilter(QStringLiteral("x"));
    std::size_t matches = 0;
    int i = 0;
    for (auto _ : state) {
        matches = frame.TreeModel()->SetFilter(pair[++i % 2]);
    }
    state.counters["matches"] = static_cast<double>(matches);
}
BENCHMARK(BM_WildcardFilterKeystroke)
    ->Args({200000, 0})
    ->Args({200000, 1})
    ->Args({200000, 2})
    ->Unit(benchmark::kMillisecond);

// The first keystroke right after opening, before the names were prepared between events:
// it also reads and names every folder's children once.
void BM_FirstFilterKeystroke(benchmark::State& state) {
    const std::string& folder = GameFolder(static_cast<std::size_t>(state.range(0)));
    App::CVellModelBrowserMainFrame frame;
    frame.Create();
    for (auto _ : state) {
        state.PauseTiming();
        frame.OpenGameFolder(QString::fromStdString(folder));
        state.ResumeTiming();
        frame.TreeModel()->SetFilter(QStringLiteral("file_12"));
    }
}
BENCHMARK(BM_FirstFilterKeystroke)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return QtBench::Main(argc, argv, QtBench::Display::Offscreen);
}
