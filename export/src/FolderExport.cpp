// Whole-folder exports: finds the whole models below a folder and exports each in a model
// object of its own, on several worker threads.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "NameEnding.h"
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

template <typename Fn>
class Visitor final : public PakMgr::ITreeVisitor {
public:
    explicit Visitor(Fn fn) : m_fn(std::move(fn)) {}
    void Visit(PakMgr::ITreeNode* child) override { m_fn(child); }

private:
    Fn m_fn;
};

template <typename Fn>
void ForEachChild(PakMgr::ITreeNode* node, Fn fn) {
    Visitor<Fn> visitor(std::move(fn));
    node->ForEachChild(&visitor);
}

void CollectModels(PakMgr::ITreeNode* folder, std::vector<PakMgr::ITreeNode*>& out) {
    ForEachChild(folder, [&](PakMgr::ITreeNode* child) {
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

// The names handed out in the output folder of tree folder `parent`: those of its folders
// that lead to a model and those of its models (`extension` added to the stem), in tree
// order, each claimed so that no two meet. Decided before any model is exported, so that
// every worker writes where the plan says whatever order the models finish in.
void ClaimNames(PakMgr::ITreeNode* parent, const std::unordered_set<PakMgr::ITreeNode*>& leading,
                const std::unordered_set<PakMgr::ITreeNode*>& models, const std::string& extension,
                std::unordered_map<PakMgr::ITreeNode*, std::pair<std::string, bool>>& claimed) {
    PakMgr::CutNames names;
    ForEachChild(parent, [&](PakMgr::ITreeNode* child) {
        const std::size_t before = names.Renames().size();
        std::string name;
        if (leading.contains(child)) {
            name = PakMgr::SafeFileName(child->Name(), &names);
        } else if (models.contains(child)) {
            name = PakMgr::SafeFileName(Stem(child->GetName()) + extension, names, child->Name());
        } else {
            return;
        }
        claimed[child] = {std::move(name), names.Renames().size() > before};
    });
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

// Every .ani beside the skin, the first that reads loaded into the model; the others
// listed after it for the export. Files that don't read are left out with a warning.
std::vector<PakMgr::ITreeNode*> LoadAnimations(IVellModel& model, PakMgr::ITreeNode* skin,
                                               std::vector<std::string>& warnings) {
    std::vector<PakMgr::ITreeNode*> files;
    ForEachChild(skin->GetParent(), [&](PakMgr::ITreeNode* child) {
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
            warnings.push_back(Base::GbkToUtf8((*file)->GetName()) + ": " + e.what());
        }
    }
    return {};
}

void ExportOne(const FolderModel& planned, const std::string& outDir, const FolderOptions& options,
               FolderItem& item) {
    std::unique_ptr<IVellModel> model = Model::CreateModel();
    model->Load(planned.skin);
    GltfOptions gltf{.scale = options.scale, .imageThreads = 1};
    std::vector<std::string> skipped;
    gltf.skipped = &skipped;
    gltf.animations = LoadAnimations(*model, planned.skin, item.warnings);
    const std::filesystem::path target = std::filesystem::path(outDir) / planned.out;
    std::error_code ec;
    if (options.format == FolderFormat::Obj) {
        std::filesystem::create_directories(target, ec);
        std::vector<PakMgr::CutNames::Renamed> inside;
        model->ExportObj(options.comment.empty() ? Base::Utf8ToGbk(kObjComment) : options.comment,
                         planned.skin, target.string(), options.mtl, &inside);
        for (const PakMgr::CutNames::Renamed& r : inside) {
            item.renamed.emplace_back(planned.path + "/" + r.source, planned.out + "/" + r.name);
        }
    } else {
        std::filesystem::create_directories(target.parent_path(), ec);
        ExportGltf(*model, target.string(), {planned.skin}, gltf);
    }
    for (const std::string& s : skipped) {
        item.warnings.push_back(Base::GbkToUtf8(s));
    }
}

}  // namespace

std::vector<PakMgr::ITreeNode*> FindWholeModels(PakMgr::ITreeNode* folder) {
    std::vector<PakMgr::ITreeNode*> models;
    if (folder) {
        CollectModels(folder, models);
    }
    return models;
}

std::vector<FolderModel> PlanFolder(PakMgr::ITreeNode* folder, FolderFormat format) {
    const std::vector<PakMgr::ITreeNode*> skins = FindWholeModels(folder);
    const std::unordered_set<PakMgr::ITreeNode*> models(skins.begin(), skins.end());
    std::unordered_set<PakMgr::ITreeNode*> leading;
    for (PakMgr::ITreeNode* skin : skins) {
        for (PakMgr::ITreeNode* n = skin->GetParent(); n && n != folder; n = n->GetParent()) {
            leading.insert(n);
        }
    }
    std::unordered_map<PakMgr::ITreeNode*, std::pair<std::string, bool>> claimed;
    const std::string extension = ExtensionOf(format);
    ClaimNames(folder, leading, models, extension, claimed);
    for (PakMgr::ITreeNode* parent : leading) {
        ClaimNames(parent, leading, models, extension, claimed);
    }
    std::vector<FolderModel> planned;
    for (PakMgr::ITreeNode* skin : skins) {
        std::vector<PakMgr::ITreeNode*> parts;
        for (PakMgr::ITreeNode* n = skin; n && n != folder; n = n->GetParent()) {
            parts.push_back(n);
        }
        FolderModel model{.skin = skin};
        for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
            const auto& [name, renamed] = claimed[*part];
            const char* separator = part == parts.rbegin() ? "" : "/";
            model.path += separator + Base::GbkToUtf8((*part)->GetName());
            model.out += separator + name;
            model.renamed = model.renamed || renamed;
        }
        planned.push_back(std::move(model));
    }
    return planned;
}

FolderItem ExportFolderModel(const FolderModel& model, const std::string& outDir,
                             const FolderOptions& options) {
    FolderItem item{.path = model.path};
    if (model.renamed) {
        item.renamed.emplace_back(model.path, model.out);
    }
    try {
        ExportOne(model, outDir, options, item);
    } catch (const Except& e) {
        item.error = Base::GbkToUtf8(e.what());
    } catch (const std::exception& e) {
        item.error = e.what();
    }
    return item;
}

FolderSummary ExportFolder(PakMgr::ITreeNode* folder, const std::string& outDir,
                           const FolderOptions& options, const FolderProgress& progress) {
    const std::vector<FolderModel> models = PlanFolder(folder, options.format);
    FolderSummary summary;
    std::mutex report;
    std::atomic<std::size_t> next = 0;
    std::atomic<bool> cancelled = false;
    auto work = [&] {
        for (std::size_t i = next++; i < models.size() && !cancelled; i = next++) {
            const FolderItem item = ExportFolderModel(models[i], outDir, options);
            std::lock_guard lock(report);
            ++(item.error.empty() ? summary.written : summary.failed);
            summary.renamed += item.renamed.size();
            if (progress && !progress(item, summary.written + summary.failed, models.size())) {
                cancelled = true;
            }
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t workers =
        std::min<std::size_t>(models.size(), options.jobs == 0 ? cores : options.jobs);
    std::vector<std::thread> threads;
    for (std::size_t w = 1; w < workers; ++w) {
        threads.emplace_back(work);
    }
    if (workers > 0) {
        work();
    }
    for (std::thread& t : threads) {
        t.join();
    }
    summary.cancelled = cancelled;
    return summary;
}

}  // namespace Export
