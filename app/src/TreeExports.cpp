// The tree pane's exports: the selected file or folder as it is stored, the shown model as
// OBJ or glTF, and the texture preview.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTreeView>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "Dialogs.h"
#include "FileViewer.h"
#include "MainFrame.h"
#include "Settings.h"
#include "StatusLine.h"
#include "TexturePreview.h"
#include "TreePane.h"
#include "base/text.h"
#include "export/fbx.h"
#include "export/folder.h"
#include "export/gltf.h"
#include "model/model.h"
#include "pakmgr/pakmgr.h"

namespace App {

namespace {

QString FromGbk(std::string_view text) {
    return QString::fromStdString(Base::GbkToUtf8(text));
}

// Makes a folder the current directory for the length of an export and restores the one
// before, whatever happens in between.
class CCurrentDirectory {
public:
    explicit CCurrentDirectory(const QString& folder) {
        std::error_code ec;
        m_previous = std::filesystem::current_path(ec);
        if (ec) {
            return;
        }
        std::filesystem::current_path(folder.toStdString(), ec);
        m_switched = !ec;
    }
    ~CCurrentDirectory() {
        if (m_switched) {
            std::error_code ec;
            std::filesystem::current_path(m_previous, ec);
        }
    }
    CCurrentDirectory(const CCurrentDirectory&) = delete;
    CCurrentDirectory& operator=(const CCurrentDirectory&) = delete;
    bool Switched() const { return m_switched; }

private:
    std::filesystem::path m_previous;
    bool m_switched = false;
};

struct FileJob {
    PakMgr::ITreeNode* node;
    std::filesystem::path out;
};

// Every file below `node` with its output path below `folder`, names made safe and claimed
// in their folder; `renamed` gets a line for each file or folder whose name was taken.
void CollectFiles(PakMgr::ITreeNode* node, const std::filesystem::path& folder,
                  std::vector<FileJob>& jobs, QStringList& renamed) {
    PakMgr::CutNames names;  // no two names of the folder meet, cut or not
    PakMgr::ForEachChild(node, [&](PakMgr::ITreeNode* child) {
        const std::size_t before = names.Renames().size();
        const std::filesystem::path path = folder / PakMgr::SafeFileName(child->Name(), &names);
        if (names.Renames().size() > before) {
            renamed << FromGbk(PakMgr::NodePath(child, '/')) + QString::fromUtf8(" → ") +
                           QString::fromStdString(path.string());
        }
        if (child->GetChildCount() == 0) {
            jobs.push_back({child, path});
        } else {
            CollectFiles(child, path, jobs, renamed);
        }
    });
}

QString Reason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The skins whose folders an export looks in for textures: those loaded (the parts and the
// attachment may keep theirs in folders of their own) and the one chosen.
std::vector<PakMgr::ITreeNode*> WithSkin(std::vector<PakMgr::ITreeNode*> skins,
                                         PakMgr::ITreeNode* node) {
    if (std::find(skins.begin(), skins.end(), node) == skins.end()) {
        skins.push_back(node);
    }
    return skins;
}

}  // namespace

void CTreePane::ExportIntoPickedFolder(const std::function<void(PakMgr::ITreeNode*)>& work) {
    PakMgr::ITreeNode* node = SelectedFile();
    if (!node) {
        return;
    }
    const QString folder = PickFolderFor(this, kFileExportKind);
    if (folder.isEmpty()) {
        return;
    }
    // The writers use relative names: without the switch they would write somewhere else.
    CCurrentDirectory directory(folder);
    if (!directory.Switched()) {
        ShowInfo(this, QStringLiteral("can't open folder ") + folder);
        return;
    }
    work(node);
}

bool CTreePane::SayFolderJobRuns() {
    if (!m_job || !m_job->Running()) {
        return false;
    }
    ShowInfo(this, tr(kFolderJobRuns));
    return true;
}

void CTreePane::ExportSelected() {
    if (PakMgr::ITreeNode* folder = SelectedFolder()) {
        if (!SayFolderJobRuns()) {
            ExportFolder(folder);
        }
        return;
    }
    ExportIntoPickedFolder([this](PakMgr::ITreeNode* node) {
        const std::unique_ptr<PakMgr::IRead> reader = m_pakMgr.LoadFile(node);
        if (!reader) {
            ShowInfo(this, QStringLiteral("can't read ") + FromGbk(node->Name()));
            return;
        }
        // Only the file's own name, made safe: nothing lands outside the chosen folder.
        const std::string name = PakMgr::SafeFileName(node->Name());
        if (!reader->SaveToFile(name)) {
            ShowInfo(this, QStringLiteral("can't write ") + QString::fromStdString(name) +
                               QStringLiteral(": ") + Reason());
            return;
        }
        m_status.ShowText(QDir::current().absoluteFilePath(QString::fromStdString(name)));
        ShowInfo(this, tr("%1 导出已完成.").arg(FromGbk(node->Name())));
    });
}

// The folder under its own name inside the one the user picks, as `vell extract` writes it.
void CTreePane::ExportFolder(PakMgr::ITreeNode* folder) {
    const QString picked = PickFolderFor(this, kFileExportKind);
    if (picked.isEmpty()) {
        return;
    }
    const std::filesystem::path root =
        std::filesystem::path(picked.toStdString()) / PakMgr::SafeFileName(folder->Name());
    auto jobs = std::make_shared<std::vector<FileJob>>();
    QStringList renamed;
    CollectFiles(folder, root, *jobs, renamed);
    auto operation = [this, jobs](std::size_t index) -> ItemOutcome {
        const FileJob& job = (*jobs)[index];
        const QString path = QString::fromStdString(job.out.string());
        std::error_code ec;
        std::filesystem::create_directories(job.out.parent_path(), ec);
        const std::unique_ptr<PakMgr::IRead> reader = m_pakMgr.LoadFile(job.node);
        if (!reader) {
            return {QStringLiteral("can't read ") + FromGbk(PakMgr::NodePath(job.node, '/'))};
        }
        if (!reader->SaveToFile(job.out.string())) {
            return {QStringLiteral("can't write ") + path + QStringLiteral(": ") + Reason()};
        }
        return {};
    };
    RunFolderJob(jobs->size(), std::move(operation), QString::fromStdString(root.string()),
                 std::move(renamed));
}

void CTreePane::ConvertToObj(bool materials) {
    ExportIntoPickedFolder([this, materials](PakMgr::ITreeNode* node) {
        const std::string comment = ObjComment();
        try {
            std::vector<PakMgr::CutNames::Renamed> renamed;
            if (m_vellModel.ExportObj(comment, node, ".", materials, &renamed)) {
                m_status.ShowText(QDir::currentPath());
                QString text = tr("已转换为工程文件 .");
                if (!renamed.empty()) {
                    text += tr("\n%1 个已改名 (名称已被占用):").arg(renamed.size());
                    for (const PakMgr::CutNames::Renamed& r : renamed) {
                        text += QLatin1Char('\n') + QString::fromStdString(r.source) +
                                QString::fromUtf8(" → ") + QString::fromStdString(r.name);
                    }
                }
                ShowInfo(this, text);
            }
        } catch (const Except& e) {
            ShowInfo(this, FromGbk(e.what()));
        }
    });
}

// Textures are found below the folders of the skins loaded and of the selected one.
void CTreePane::ConvertFolderToGltf(PakMgr::ITreeNode* folder) {
    const QString picked = PickFolderFor(this, kGltfExportKind);
    if (picked.isEmpty()) {
        return;
    }
    auto models = std::make_shared<std::vector<Export::FolderModel>>(
        Export::PlanFolder(folder, Export::FolderFormat::Glb));
    QStringList renamed;
    for (const Export::FolderModel& model : *models) {
        if (model.renamed) {
            renamed << QString::fromStdString(model.path) + QString::fromUtf8(" → ") +
                           QString::fromStdString(model.out);
        }
    }
    const std::string outDir = picked.toStdString();
    auto operation = [models, outDir](std::size_t index) {
        const Export::FolderItem item =
            Export::ExportFolderModel((*models)[index], outDir, Export::FolderOptions{});
        ItemOutcome outcome;
        if (!item.error.empty()) {
            outcome.failure = QString::fromStdString(item.path + ": " + item.error);
        }
        // Animation files left out, as `vell gltf --each` warns of them.
        for (const std::string& warning : item.warnings) {
            outcome.warnings << QString::fromStdString(item.path + ": " + warning);
        }
        return outcome;
    };
    RunFolderJob(models->size(), std::move(operation), picked, std::move(renamed));
}

void CTreePane::ConvertToGltf(const std::vector<PakMgr::ITreeNode*>& loadedSkins) {
    if (PakMgr::ITreeNode* folder = SelectedFolder()) {
        if (!SayFolderJobRuns()) {
            ConvertFolderToGltf(folder);
        }
        return;
    }
    PakMgr::ITreeNode* node = SelectedFile();
    if (!node) {
        return;
    }
    // Proposed: the skin's own name.
    const QString path = PickSaveFileFor(
        this, kGltfExportKind, QStringLiteral("glTF (*.glb *.gltf)"), QStringLiteral("glb"),
        QFileInfo(FromGbk(node->Name())).completeBaseName() + QStringLiteral(".glb"));
    if (path.isEmpty()) {
        return;
    }
    try {
        Export::ExportGltf(m_vellModel, path.toStdString(), WithSkin(loadedSkins, node));
        m_status.ShowText(path);
        ShowInfo(this, tr("已转换为glTF文件 ."));
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.what()));
    }
}

void CTreePane::ConvertToFbx(const std::vector<PakMgr::ITreeNode*>& loadedSkins) {
    PakMgr::ITreeNode* node = SelectedFile();
    if (!node) {
        return;
    }
    const QString path = PickSaveFileFor(
        this, kFbxExportKind, QStringLiteral("FBX (*.fbx)"), QStringLiteral("fbx"),
        QFileInfo(FromGbk(node->Name())).completeBaseName() + QStringLiteral(".fbx"));
    if (path.isEmpty()) {
        return;
    }
    try {
        const std::vector<PakMgr::ITreeNode*> skins = WithSkin(loadedSkins, node);
        {
            // Blender takes seconds: the window waits, as for a single glTF export.
            struct WaitCursor {
                WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
                ~WaitCursor() { QApplication::restoreOverrideCursor(); }
            } waiting;
            Export::ExportFbx(m_vellModel, path.toStdString(), skins);
        }
        m_status.ShowText(path);
        ShowInfo(this, tr("已转换为FBX文件 ."));
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.what()));
    }
}

void CTreePane::PreviewTexture() {
    if (PakMgr::ITreeNode* node = SelectedFile()) {
        ShowTexturePreview(this, node);
    }
}

void CTreePane::ViewFile() {
    if (PakMgr::ITreeNode* node = SelectedFile()) {
        ShowFileViewer(this, node);
    }
}

}  // namespace App
