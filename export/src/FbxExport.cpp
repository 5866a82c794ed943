// FBX through Blender: glTF written here, converted by Blender processes running the script
// installed with the program.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "BlenderProcess.h"
#include "base/except.h"
#include "base/file.h"
#include "base/parallel.h"
#include "base/text.h"
#include "export/fbx.h"

namespace Export {
namespace {

namespace fs = std::filesystem;

// Where the script lies below the prefix the program runs from, and which program runs it.
constexpr char kScriptBelowPrefix[] = "share/vellmodelbrowser/blender/vell_game/fbx_convert.py";
constexpr char kBlender[] = "blender";
constexpr char kNoBlender[] = "fbx needs Blender: apt install blender";

// A folder for the glTF files and Blender's logs, removed with everything in it.
class WorkFolder {
public:
    WorkFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vell-fbx-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            throw Except(ErrorKind::Io, "can't make a temporary folder for fbx in %s",
                         Base::Utf8ToGbk(pattern).c_str());
        }
        m_path = pattern;
    }
    ~WorkFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

struct Tools {
    std::string blender;
    std::string script;
};

Tools FindTools() {
    Tools tools{FindBlender(), FindFbxScript()};
    if (tools.blender.empty()) {
        throw Except::Literal(ErrorKind::Unsupported, kNoBlender);
    }
    if (tools.script.empty()) {
        throw Except(ErrorKind::Io,
                     "fbx needs its Blender script, installed as %s beside vell's "
                     "bin/ folder: reinstall VellModelBrowser",
                     kScriptBelowPrefix);
    }
    return tools;
}

// The name Blender writes under, beside the target, so that the rename into place never
// crosses file systems and a failure leaves the target as it was.
std::string StagedName(const std::string& target) {
    static std::atomic<unsigned> counter = 0;
    return target + ".vell-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
           ".tmp.fbx";
}

// Moves Blender's file into place; empty, or why it failed.
std::string Commit(const std::string& staged, const std::string& target) {
    std::error_code ec;
    fs::rename(staged, target, ec);
    if (ec) {
        fs::remove(staged, ec);
        return "can't write " + target + ": " + ec.message();
    }
    return "";
}

std::string FbxNameOf(const std::string& glb) {
    const std::size_t dot = glb.rfind('.');
    return glb.substr(0, dot) + ".fbx";
}

}  // namespace

std::string FindBlender() {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / kBlender;
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
    }
    return "";
}

std::string FindFbxScript() {
    return Base::FindBesideProgram(kScriptBelowPrefix);
}

void ExportFbx(Model::IVellModel& model, const std::string& path,
               const std::vector<PakMgr::ITreeNode*>& skinNodes, const GltfOptions& options) {
    const Tools tools = FindTools();
    const WorkFolder work;
    BlenderProcess blender(tools.blender, tools.script, work.Path(), 0);
    const std::string gltf = work.Path() + "/model.glb";
    ExportGltf(model, gltf, skinNodes, options);
    const std::string staged = StagedName(path);
    blender.Convert(gltf, staged);
    std::string why = blender.Finish()[staged];
    if (why.empty()) {
        why = Commit(staged, path);
    } else {
        std::error_code ec;
        fs::remove(staged, ec);
        why = "can't write " + path + ": " + why;
    }
    if (!why.empty()) {
        throw Except::Literal(ErrorKind::Io, Base::Utf8ToGbk(why));
    }
}

FolderSummary ExportFolderFbx(PakMgr::ITreeNode* folder, const std::string& outDir,
                              const FolderOptions& options, const FolderProgress& progress) {
    const Tools tools = FindTools();
    const std::vector<FolderModel> models = PlanFolder(folder, FolderFormat::Glb);
    const unsigned jobs =
        std::clamp<unsigned>(options.jobs == 0 ? Base::DefaultWorkers() : options.jobs, 1,
                             static_cast<unsigned>(std::max<std::size_t>(models.size(), 1)));
    const WorkFolder work;
    std::vector<std::unique_ptr<BlenderProcess>> blenders;
    for (unsigned i = 0; i < jobs; ++i) {
        blenders.push_back(
            std::make_unique<BlenderProcess>(tools.blender, tools.script, work.Path(), i));
    }
    FolderOptions gltf = options;
    gltf.format = FolderFormat::Glb;
    std::vector<FolderItem> items(models.size());
    std::vector<std::string> staged(models.size());
    std::vector<std::string> failures(models.size());
    const auto glbOf = [&](std::size_t i) { return work.Path() + "/" + models[i].out; };
    const auto fbxOf = [&](std::size_t i) { return outDir + "/" + FbxNameOf(models[i].out); };
    // Each glTF goes to a Blender as soon as it is written: the Blenders start up while the
    // first files are made, and convert while the others are.
    const std::vector<Base::Failure> thrown =
        Base::ForEachIndex(models.size(), jobs, [&](std::size_t i) {
            items[i] = ExportFolderModel(models[i], work.Path(), gltf);
            if (!items[i].error.empty()) {
                return;
            }
            std::error_code ec;
            fs::create_directories(fs::path(fbxOf(i)).parent_path(), ec);
            staged[i] = StagedName(fbxOf(i));
            blenders[i % jobs]->Convert(glbOf(i), staged[i]);
        });
    for (const Base::Failure& f : thrown) {
        items[f.index].error = f.message;
    }
    std::map<std::string, std::string> outcome;
    for (const std::unique_ptr<BlenderProcess>& blender : blenders) {
        outcome.merge(blender->Finish());
    }
    FolderSummary summary;
    for (std::size_t i = 0; i < models.size(); ++i) {
        FolderItem& item = items[i];
        item.path = models[i].path;
        if (item.error.empty()) {
            item.error = outcome[staged[i]];
            item.error = item.error.empty() ? Commit(staged[i], fbxOf(i)) : item.error;
        }
        if (!item.error.empty() && !staged[i].empty()) {
            std::error_code ec;
            fs::remove(staged[i], ec);
        }
        for (auto& [from, to] : item.renamed) {
            to = FbxNameOf(to);
        }
        ++(item.error.empty() ? summary.written : summary.failed);
        summary.renamed += item.renamed.size();
        if (progress && !progress(item, i + 1, models.size())) {
            summary.cancelled = true;
        }
    }
    return summary;
}

}  // namespace Export
