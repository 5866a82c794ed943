// Whole-folder exports: finds the whole models below a folder and exports each in a model
// object of its own, on several worker threads.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>

#include "NameEnding.h"
#include "base/parallel.h"
#include "base/text.h"
#include "export/folder.h"
#include "export/gltf.h"
#include "model/object.h"

namespace Export {
namespace {

// The folder export works on the model object throughout.
using namespace Model;

// The main window's title, which every OBJ file's header carries by default.
constexpr char kObjComment[] = "Vell 模型浏览器v1.0a";

void CollectModels(PakMgr::ITreeNode* folder, std::vector<PakMgr::ITreeNode*>& out) {
    PakMgr::ForEachChild(folder, [&](PakMgr::ITreeNode* child) {
        const std::string name = child->GetName();
        if (child->GetChildCount() > 0) {
            CollectModels(child, out);
        } else if (EndsWithNoCase(name, ".skn") &&
                   ChooseSlot(name, folder->GetName()) == kWholeModel) {
            out.push_back(child);
        }
    });
}

std::string Stem(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The skin's folders below `folder`, each made safe, and its stem.
struct Place {
    std::filesystem::path folder;  // relative to the output folder
    std::string stem;              // UTF-8, safe
    std::string path;              // the skin's path below `folder`, for messages
};

// The safe name of `nameOf(node)`. One cut to fit the file system that meets the cut name of
// an earlier sibling of the same kind gets ~1, ~2...: decided among the siblings alone, so
// that every worker gives a node the same name whatever order the models are exported in.
template <typename NameOf>
std::string SiblingSafeName(PakMgr::ITreeNode* node, NameOf nameOf) {
    const std::string name = nameOf(node);
    if (Base::GbkToUtf8(name).size() <= PakMgr::kMaxFileNameBytes || !node->GetParent()) {
        return PakMgr::SafeFileName(name);
    }
    const bool isFolder = node->GetChildCount() > 0;
    PakMgr::CutNames cuts;
    std::string own;
    PakMgr::ForEachChild(node->GetParent(), [&](PakMgr::ITreeNode* sibling) {
        if (own.empty() && (sibling->GetChildCount() > 0) == isFolder) {
            std::string safe = PakMgr::SafeFileName(nameOf(sibling), &cuts);
            if (sibling == node) {
                own = std::move(safe);
            }
        }
    });
    return own;
}

// `extension` is what the export adds to the stem: the stem is cut to leave room for it.
Place PlaceOf(PakMgr::ITreeNode* skin, PakMgr::ITreeNode* folder, const std::string& extension) {
    std::vector<PakMgr::ITreeNode*> parts;
    for (PakMgr::ITreeNode* n = skin->GetParent(); n && n != folder; n = n->GetParent()) {
        parts.push_back(n);
    }
    Place place;
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        place.folder /= SiblingSafeName(*part, [](PakMgr::ITreeNode* n) { return n->GetName(); });
        place.path += Base::GbkToUtf8((*part)->GetName()) + "/";
    }
    const std::string named =
        SiblingSafeName(skin, [&](PakMgr::ITreeNode* n) { return Stem(n->GetName()) + extension; });
    place.stem = named.substr(0, named.size() - extension.size());
    place.path += Base::GbkToUtf8(skin->GetName());
    return place;
}

// What the export adds to a model's stem.
std::string ExtensionOf(FolderFormat format) {
    switch (format) {
        case FolderFormat::Glb:
            return ".glb";
        case FolderFormat::Gltf:
            return ".gltf";
        case FolderFormat::Obj:
            break;
    }
    return "";
}

void ExportOne(PakMgr::ITreeNode* skin, const Place& place, const std::string& outDir,
               const FolderOptions& options, FolderItem& item) {
    std::unique_ptr<IVellModel> model = Model::CreateModel();
    model->Load(skin);
    GltfOptions gltf{.scale = options.scale, .imageThreads = 1};
    std::vector<std::string> skipped;
    gltf.skipped = &skipped;
    gltf.animations = LoadAnimationsBeside(*model, skin, item.warnings);
    const std::filesystem::path folder = std::filesystem::path(outDir) / place.folder;
    std::error_code ec;
    if (options.format == FolderFormat::Obj) {
        const std::filesystem::path objFolder = folder / place.stem;
        std::filesystem::create_directories(objFolder, ec);
        model->ExportObj(options.comment.empty() ? Base::Utf8ToGbk(kObjComment) : options.comment,
                         skin, objFolder.string(), options.mtl);
    } else {
        std::filesystem::create_directories(folder, ec);
        ExportGltf(*model, (folder / (place.stem + ExtensionOf(options.format))).string(), {skin},
                   gltf);
    }
    for (const std::string& s : skipped) {
        item.warnings.push_back(Base::GbkToUtf8(s));
    }
}

}  // namespace

std::vector<PakMgr::ITreeNode*> LoadAnimationsBeside(IVellModel& model, PakMgr::ITreeNode* skin,
                                                     std::vector<std::string>& warnings) {
    std::vector<PakMgr::ITreeNode*> files;
    PakMgr::ITreeNode* folder = skin ? skin->GetParent() : nullptr;
    if (!folder) {
        return files;
    }
    PakMgr::ForEachChild(folder, [&](PakMgr::ITreeNode* child) {
        if (child->GetChildCount() == 0 && EndsWithNoCase(child->GetName(), ".ani")) {
            files.push_back(child);
        }
    });
    for (auto file = files.begin(); file != files.end(); ++file) {
        try {
            model.LoadAnimation(*file);
            files.erase(files.begin(), file);
            return files;
        } catch (const Except& e) {
            warnings.push_back(Base::GbkToUtf8((*file)->GetName()) + ": " +
                               Base::GbkToUtf8(e.Message()));
        }
    }
    return {};
}

std::vector<PakMgr::ITreeNode*> FindWholeModels(PakMgr::ITreeNode* folder) {
    std::vector<PakMgr::ITreeNode*> models;
    if (folder) {
        CollectModels(folder, models);
    }
    return models;
}

FolderItem ExportFolderModel(PakMgr::ITreeNode* skin, PakMgr::ITreeNode* folder,
                             const std::string& outDir, const FolderOptions& options) {
    FolderItem item;
    try {
        const Place place = PlaceOf(skin, folder, ExtensionOf(options.format));
        item.path = place.path;
        ExportOne(skin, place, outDir, options, item);
    } catch (...) {
        // Whatever fails (a load, a write, memory running out) fails this model alone.
        item.error = Base::Describe(std::current_exception());
    }
    if (item.path.empty() && skin) {
        item.path = Base::GbkToUtf8(skin->GetName());
    }
    return item;
}

FolderSummary ExportFolder(PakMgr::ITreeNode* folder, const std::string& outDir,
                           const FolderOptions& options, const FolderProgress& progress) {
    const std::vector<PakMgr::ITreeNode*> models = FindWholeModels(folder);
    FolderSummary summary;
    std::mutex report;
    std::atomic<bool> cancelled = false;
    auto work = [&](std::size_t i) {
        if (cancelled) {
            return;
        }
        const FolderItem item = ExportFolderModel(models[i], folder, outDir, options);
        std::lock_guard lock(report);
        const std::size_t done = summary.written + summary.failed + 1;
        const bool goOn = !progress || progress(item, done, models.size());
        ++(item.error.empty() ? summary.written : summary.failed);
        cancelled = cancelled || !goOn;
    };
    const unsigned workers = options.jobs == 0 ? Base::DefaultWorkers() : options.jobs;
    // A model whose progress call threw was not counted: it counts as failed.
    summary.failed += Base::ForEachIndex(models.size(), workers, work).size();
    summary.cancelled = cancelled;
    return summary;
}

}  // namespace Export
