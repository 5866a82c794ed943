// Whole-folder exports: every model below a folder of the archives, each written into its
// own file (glTF) or folder (OBJ) under an output folder, on several workers at once.
// Used by `vell gltf|obj --each` and by the viewer's folder menu.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "export/gltf.h"
#include "model/model.h"
#include "pakmgr/pakmgr.h"

namespace Export {

enum class FolderFormat { Glb, Gltf, Obj };

struct FolderOptions {
    FolderFormat format = FolderFormat::Glb;
    // OBJ: a .mtl and a PNG copy of the texture per file, faces wound for other tools.
    bool mtl = false;
    // glTF: every length multiplied by this (metres by default, as GltfOptions).
    float scale = kMetresPerGameUnit;
    // Models exported at once (at most Base::kMaxWorkers); 0 means one per core. Fewer
    // work when the system makes fewer threads.
    unsigned jobs = 0;
    // OBJ: the comment line of every file (code page 936), as ExportObj takes it.
    std::string comment;
};

// One model's outcome.
struct FolderItem {
    std::string path;                   // the .skn's path below the folder, UTF-8, '/'
    std::string error;                  // empty when it was written
    std::vector<std::string> warnings;  // animation files left out, each "<file>: <reason>"
    // Files written under another name than their own because another had it first: the
    // model itself (its path, what it was written as below the output folder) and, for OBJ,
    // the files inside its folder; UTF-8, '/'.
    std::vector<std::pair<std::string, std::string>> renamed;
};

// Called once per model as it ends, one call at a time (from whichever worker did it), with
// the number finished so far and the total. Returning false cancels: models not yet begun
// are left out; those under way finish.
using FolderProgress =
    std::function<bool(const FolderItem& item, std::size_t done, std::size_t total)>;

struct FolderSummary {
    std::size_t written = 0;
    std::size_t failed = 0;
    std::size_t renamed = 0;  // files written under another name than their own
    bool cancelled = false;
};

// The animations that go with a skin: every .ani file in its own folder, in tree order. The
// first that reads is loaded into `model` and returned first, the others after it; files
// before it that don't read are left out, each adding "<file>: <reason>" (UTF-8) to
// `warnings`. Empty when none reads (or the skin has no folder).
std::vector<PakMgr::ITreeNode*> LoadAnimationsBeside(Model::IVellModel& model,
                                                     PakMgr::ITreeNode* skin,
                                                     std::vector<std::string>& warnings);

// Every .skn below `folder` (recursively) that loads as a whole model: weapons too, not the
// body parts of a "parts" folder. In tree order.
std::vector<PakMgr::ITreeNode*> FindWholeModels(PakMgr::ITreeNode* folder);

// A model of FindWholeModels(folder) with where it goes below the output folder.
struct FolderModel {
    PakMgr::ITreeNode* skin = nullptr;
    std::string path;      // the .skn's path below the folder, UTF-8, '/'
    std::string out;       // the file (glTF) or folder (OBJ) it is written as, UTF-8, '/'
    bool renamed = false;  // a part of `out` has ~N: another name of its folder had it first
    // .gltf: the PNG file beside it of each texture its skin names (GltfOptions::imageFiles).
    std::map<std::string, std::string> images;
};

// Every model FindWholeModels finds with the names it is written under. Every name handed
// out in one output folder (the folders leading to models, "<skin stem>.glb" or ".gltf", or
// for OBJ "<skin stem>", and the PNG files beside a .gltf) is made safe and claimed: one that
// meets a name handed out before gets ~1, ~2... (PakMgr::CutNames; a PNG gets _2, _3...).
std::vector<FolderModel> PlanFolder(PakMgr::ITreeNode* folder, FolderFormat format);

// Exports one model of PlanFolder as ExportFolder does, in a model object of its own; any
// failure (an Except, memory running out, anything thrown) comes back in the item's error.
FolderItem ExportFolderModel(const FolderModel& model, const std::string& outDir,
                             const FolderOptions& options);

// Exports every model FindWholeModels finds, each in a model object of its own, to
// `outDir`/<its folder path below `folder`>/ as "<skin stem>.glb" or ".gltf" (with its side
// files), or for OBJ into a folder "<skin stem>/", as PlanFolder names them: nothing lands
// outside `outDir` and no two models meet. The animations are those of every .ani in the skin's own
// folder: the first that loads defines the joints, the others add theirs by bone name; one that
// matches nothing is left out with a warning. A model that fails is reported and skipped.
// Reads through PakMgr::GetPakMgr(), which must not change while this runs.
FolderSummary ExportFolder(PakMgr::ITreeNode* folder, const std::string& outDir,
                           const FolderOptions& options, const FolderProgress& progress);

}  // namespace Export
