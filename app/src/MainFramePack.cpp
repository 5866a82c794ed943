// 文件 / 打包补丁... and 补丁列表...: a folder packed into a mod archive that the game reads
// first, and the archives of the game that override others; a skin's 导入glTF..., whose
// files can go straight into such a mod.
#include <QApplication>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>

#include "Dialogs.h"
#include "MainFrame.h"
#include "PackDlg.h"
#include "TreeModel.h"
#include "TreePane.h"
#include "base/parallel.h"
#include "base/text.h"
#include "import/import.h"
#include "pakmgr/pack.h"

namespace App {

namespace {

constexpr int kProgressSteps = 1000;

QString FromGbk(const std::string& text) {
    return QString::fromStdString(Base::GbkToUtf8(text));
}

QString Shown(const std::string& archivePath) {
    QString path = FromGbk(archivePath);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path.startsWith(QLatin1Char('/')) ? path.mid(1) : path;
}

}  // namespace

void CVellModelBrowserMainFrame::OnPackMod() {
    if (m_gameFolder.isEmpty() || m_pakMgr->GetFileCount() == 0) {
        ShowInfo(this, tr("请先打开游戏目录."));
        return;
    }
    m_showAfterPack.clear();
    const QString folder = PickFolder(this);
    if (!folder.isEmpty()) {
        PackFolder(folder);
    }
}

void CVellModelBrowserMainFrame::PackFolder(const QString& folder) {
    PakMgr::PackPlan plan;
    try {
        plan = PakMgr::PlanPack(folder.toStdString(), (m_gameFolder + "/mod.pak").toStdString(),
                                Base::DefaultWorkers());
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.Message()));
        return;
    }
    if (!plan.problems.empty()) {
        ShowInfo(this, tr("不能打包:") + QLatin1Char('\n') +
                           QString::fromStdString(plan.problems.front()));
        return;
    }
    auto* dialog = new CPackDlg(this, *m_pakMgr, m_gameFolder, folder, std::move(plan));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        // Written once the dialog has finished closing: the progress bar's events would
        // otherwise delete it while it still signals. Copies, as it goes meanwhile.
        QTimer::singleShot(0, this, [this, plan = dialog->Plan(), target = dialog->Target()] {
            WriteMod(plan, target);
        });
    });
    dialog->show();
}

void CVellModelBrowserMainFrame::WriteMod(const PakMgr::PackPlan& plan, const QString& target) {
    QProgressDialog progress(tr("正在打包 %1...").arg(QFileInfo(target).fileName()), tr("取消"), 0,
                             kProgressSteps, this);
    progress.setObjectName(QStringLiteral("packProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    PakMgr::PackOptions options{.workers = Base::DefaultWorkers()};
    options.progress = [&progress](uint64_t done, uint64_t total) {
        progress.setValue(total == 0 ? kProgressSteps
                                     : static_cast<int>(done * kProgressSteps / total));
        QApplication::processEvents();
        return !progress.wasCanceled();
    };
    std::optional<std::vector<std::string>> written;
    try {
        written = PakMgr::WritePack(plan, target.toStdString(), options);
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.Message()));
        return;
    }
    progress.reset();
    if (!written) {
        return;  // cancelled: nothing was written
    }
    // The game again, with the new archive among its own; the tree marks what it brought.
    OpenGameFolder(m_gameFolder);
    const std::string name = QFileInfo(target).fileName().toStdString();
    const PakMgr::ModCheck check = PakMgr::CheckMod(*m_pakMgr, name, plan);
    std::unordered_map<const PakMgr::ITreeNode*, CTreeModel::Mark> marks;
    for (const PakMgr::PathVerdict& v : check.paths) {
        if (PakMgr::ITreeNode* node = PakMgr::FindPath(*m_pakMgr, Base::GbkToUtf8(v.path))) {
            marks[node] = v.kind == PakMgr::PathVerdict::kNew ? CTreeModel::Mark::Added
                                                              : CTreeModel::Mark::Changed;
        }
    }
    m_pane->ShowMarks(std::move(marks));
    // An imported model is shown as the game now has it.
    if (!m_showAfterPack.empty()) {
        if (PakMgr::ITreeNode* skin = PakMgr::FindPath(*m_pakMgr, m_showAfterPack)) {
            LoadSkin(skin);
        }
        m_showAfterPack.clear();
    }
}

void CVellModelBrowserMainFrame::OnImportGltf() {
    PakMgr::ITreeNode* skin = m_pane->SelectedFile();
    if (!skin) {
        return;
    }
    const QString gltf = PickOpenFile(this, QStringLiteral("glTF (*.glb *.gltf)"));
    if (gltf.isEmpty()) {
        return;
    }
    Import::ImportPlan plan;
    try {
        plan = Import::PlanImportFile(skin, gltf.toStdString(), {});
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.Message()));
        return;
    }
    if (plan.files.empty()) {
        ShowInfo(this, tr("没有改变: glTF 与游戏里的模型相同."));
        return;
    }
    QStringList lines;
    for (const Import::ImportedFile& file : plan.files) {
        lines << QString::fromStdString(file.path);
    }
    for (const std::string& limit : plan.limits) {
        lines << tr("限制: %1").arg(QString::fromStdString(limit));
    }
    const QString folder = PickFolder(this);
    if (folder.isEmpty()) {
        return;
    }
    try {
        Import::WritePlan(plan, folder.toStdString());
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.Message()));
        return;
    }
    const MessageRequest ask{this,
                             tr("已写入 %1:").arg(folder) + QLatin1Char('\n') +
                                 lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
                                 tr("打包补丁?"),
                             tr("导入glTF"), MsgButtons::YesNo, MsgIcon::Information};
    if (ShowMessage(ask) == MsgAnswer::Yes) {
        m_showAfterPack = Base::GbkToUtf8(PakMgr::NodePath(skin, '/'));
        PackFolder(folder);
    }
}

void CVellModelBrowserMainFrame::OnModList() {
    if (m_gameFolder.isEmpty() || m_pakMgr->GetFileCount() == 0) {
        ShowInfo(this, tr("请先打开游戏目录."));
        return;
    }
    const PakMgr::ModList list = PakMgr::ListMods(*m_pakMgr);
    std::unordered_map<std::string, const PakMgr::ModConflict*> conflicts;
    for (const PakMgr::ModConflict& conflict : list.conflicts) {
        conflicts[conflict.path] = &conflict;
    }
    std::vector<QStringList> rows;
    for (const PakMgr::ModArchive& mod : list.mods) {
        for (const PakMgr::Override& o : mod.overrides) {
            QStringList under;
            for (const std::string& archive : o.under) {
                under << FromGbk(archive);
            }
            QString conflict;
            if (const auto found = conflicts.find(o.path); found != conflicts.end()) {
                const std::string& winner = found->second->archives.front();
                conflict = winner == mod.archive ? tr("胜出") : tr("输给 %1").arg(FromGbk(winner));
            }
            rows.push_back(
                {FromGbk(mod.archive), Shown(o.path), under.join(QStringLiteral(", ")), conflict});
        }
    }
    QDialog* dialog = TableDialog(this, QStringLiteral("mods"), tr("补丁列表"),
                                  tr("%1 个包覆盖其他包的文件, %2 个文件有冲突")
                                      .arg(list.mods.size())
                                      .arg(list.conflicts.size()),
                                  {tr("包"), tr("文件"), tr("覆盖"), tr("冲突")}, rows);
    dialog->show();
}

}  // namespace App
