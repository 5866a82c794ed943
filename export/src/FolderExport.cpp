// Whole-folder exports: finds the whole models below a folder and exports each in a model
// object of its own, on several worker threads.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "GltfDocument.h"
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
        } else if (IsSkinName(name) && ChooseSlot(name, folder->GetName()) == kWholeModel) {
            out.push_back(child);
        }
    });
}

std::string Stem(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// Every texture file the skin's materials name, each once, in order; none when the skin
// can't be read (its export then fails on its own).
std::vector<std::string> TextureNamesOf(PakMgr::ITreeNode* skinNode) {
    std::vector<std::string> names;
    std::unique_ptr<PakMgr::IRead> file = PakMgr::GetPakMgr()->LoadFile(skinNode);
    if (!file) {
        return names;
    }
    Skin skin;
    try {
        ReadSkin(skin, *file, nullptr);  // the names alone: no texture is decoded
    } catch (const Except&) {
        return names;
    }
    for (const Material& m : skin.materials) {
        for (const std::string* name :
             {&m.diffuseTexName, &m.emissiveTexName, &m.maskTexName, &m.tattooTexName}) {
            if (!name->empty() && std::find(names.begin(), names.end(), *name) == names.end()) {
                names.push_back(*name);
            }
        }
    }
    return names;
}

// The PNG files beside each .gltf of folder `parent`, "<gltf stem>_<texture stem>.png",
// claimed among every name of that output folder for their model and texture: "a" with
// "b_c.dds" and "a_b" with "c.dds" both want "a_b_c.png", and two workers must never write
// one file.
void ClaimImages(PakMgr::CutNames& names, PakMgr::ITreeNode* model, const std::string& gltfName,
                 std::map<std::string, std::string>& images) {
    const std::string stem = Gltf::SideFileStem(gltfName.substr(0, gltfName.size() - 5));
    const std::string source = PakMgr::NodePath(model, '/') + " texture ";
    for (const std::string& texture : TextureNamesOf(model)) {
        const std::string wanted = stem + "_" + Gltf::SideFileStem(Gltf::TextureStem(texture));
        images[texture] = names.Claim(source + texture, [&wanted](int number) {
            return (number == 0 ? wanted : wanted + "_" + std::to_string(number + 1)) + ".png";
        });
    }
}

// The names handed out in the output folder of tree folder `parent`: those of its folders
// that lead to a model and those of its models (`extension` added to the stem), in tree
// order, each claimed so that no two meet. Decided before any model is exported, so that
// every worker writes where the plan says whatever order the models finish in.
void ClaimNames(
    PakMgr::ITreeNode* parent, const std::unordered_set<PakMgr::ITreeNode*>& leading,
    const std::unordered_set<PakMgr::ITreeNode*>& models, const std::string& extension,
    std::unordered_map<PakMgr::ITreeNode*, std::pair<std::string, bool>>& claimed,
    std::unordered_map<PakMgr::ITreeNode*, std::map<std::string, std::string>>& images) {
    PakMgr::CutNames names;
    PakMgr::ForEachChild(parent, [&](PakMgr::ITreeNode* child) {
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
    if (extension != ".gltf") {
        return;
    }
    PakMgr::ForEachChild(parent, [&](PakMgr::ITreeNode* child) {
        if (models.contains(child)) {
            ClaimImages(names, child, claimed[child].first, images[child]);
        }
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

void ExportOne(const FolderModel& planned, const std::string& outDir, const FolderOptions& options,
               FolderItem& item) {
    std::unique_ptr<IVellModel> model = Model::CreateModel();
    model->Load(planned.skin);
    GltfOptions gltf{.scale = options.scale, .imageThreads = 1, .imageFiles = &planned.images};
    std::vector<std::string> skipped;
    gltf.skipped = &skipped;
    gltf.animations = LoadAnimationsBeside(*model, planned.skin, item.warnings);
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

std::vector<PakMgr::ITreeNode*> LoadAnimationsBeside(IVellModel& model, PakMgr::ITreeNode* skin,
                                                     std::vector<std::string>& warnings) {
    std::vector<PakMgr::ITreeNode*> files;
    PakMgr::ITreeNode* folder = skin ? skin->GetParent() : nullptr;
    if (!folder) {
        return files;
    }
    PakMgr::ForEachChild(folder, [&](PakMgr::ITreeNode* child) {
        if (child->GetChildCount() == 0 && IsAnimationName(child->Name())) {
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
    std::unordered_map<PakMgr::ITreeNode*, std::map<std::string, std::string>> images;
    const std::string extension = ExtensionOf(format);
    ClaimNames(folder, leading, models, extension, claimed, images);
    for (PakMgr::ITreeNode* parent : leading) {
        ClaimNames(parent, leading, models, extension, claimed, images);
    }
    std::vector<FolderModel> planned;
    for (PakMgr::ITreeNode* skin : skins) {
        std::vector<PakMgr::ITreeNode*> parts;
        for (PakMgr::ITreeNode* n = skin; n && n != folder; n = n->GetParent()) {
            parts.push_back(n);
        }
        FolderModel model{.skin = skin, .images = std::move(images[skin])};
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
    } catch (...) {
        // Whatever fails (a load, a write, memory running out) fails this model alone.
        item.error = Base::Describe(std::current_exception());
    }
    return item;
}

FolderSummary ExportFolder(PakMgr::ITreeNode* folder, const std::string& outDir,
                           const FolderOptions& options, const FolderProgress& progress) {
    const std::vector<FolderModel> models = PlanFolder(folder, options.format);
    FolderSummary summary;
    std::mutex report;
    std::atomic<bool> cancelled = false;
    auto work = [&](std::size_t i) {
        if (cancelled) {
            return;
        }
        const FolderItem item = ExportFolderModel(models[i], outDir, options);
        std::lock_guard lock(report);
        const std::size_t done = summary.written + summary.failed + 1;
        const bool goOn = !progress || progress(item, done, models.size());
        ++(item.error.empty() ? summary.written : summary.failed);
        summary.renamed += item.renamed.size();
        cancelled = cancelled || !goOn;
    };
    const unsigned workers = options.jobs == 0 ? Base::DefaultWorkers() : options.jobs;
    // A model whose progress call threw was not counted: it counts as failed.
    summary.failed += Base::ForEachIndex(models.size(), workers, work).size();
    summary.cancelled = cancelled;
    return summary;
}

}  // namespace Export
