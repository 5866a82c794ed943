// A glTF that `vell gltf` wrote, edited in another tool, made the game's files again: the
// base model (a skin and its mesh in the archives) keeps everything glTF can't carry, and
// only what the glTF changed is written. Matching is by name, so a tool's own vertex order,
// split vertices, joint order and ".001" suffixes don't count as changes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "export/gltf.h"
#include "pakmgr/pakmgr.h"

namespace Import {

// What the export wrote: the same scale undoes it.
struct ImportOptions {
    float scale = Export::kMetresPerGameUnit;
    // Every file the base model is made of, changed or not (an unchanged one is the base's
    // own bytes).
    bool all = false;
    // The animation files the export was given, in its order: an animation "STEM/NAME" goes
    // back into the one named STEM.ani, one without a file's name into the first. None: the
    // files beside the skin, SKIN.ani first.
    std::vector<PakMgr::ITreeNode*> animations;
};

struct ImportedFile {
    std::string path;  // the archive path: UTF-8, '/' between components, no leading '/'
    std::vector<uint8_t> bytes;
};

struct ImportPlan {
    // In the order mesh, skin, textures (the base's repainted, then new ones an added mesh
    // shows), animations.
    std::vector<ImportedFile> files;
    std::vector<std::string> limits;  // each limit applied, for the user
    // Why each file differs from the base, one line a difference found (the first few of
    // each kind), for whoever wonders why a file was written.
    std::vector<std::string> reasons;
};

// Compares the glTF (the bytes of a .glb, or of a .gltf whose buffers and images are read
// from `folder`) with the base model of `skinNode` and makes the files it changes, in
// memory. Checks every limit before returning. Throws Except: Corrupt for a glTF that
// can't be read (an accessor past its buffer, an index past the vertices, a position that is
// not a number...), Input for one that doesn't fit the base (no mesh of the base's name, a
// joint that is no bone of it, a limit that can't be met), Io when the base can't be read.
ImportPlan PlanImport(PakMgr::ITreeNode* skinNode, std::span<const uint8_t> gltf, bool binary,
                      const std::string& folder, const ImportOptions& options);

// Reads the glTF file (.glb or .gltf, by its name) and plans as above.
ImportPlan PlanImportFile(PakMgr::ITreeNode* skinNode, const std::string& gltfPath,
                          const ImportOptions& options);

// Writes each file under its archive path below `outFolder` (made when missing), each whole
// through Base::WriteWholeFile; when one fails, those already written are removed again and
// Except (Io) is thrown. Nothing is made for an empty plan.
void WritePlan(const ImportPlan& plan, const std::string& outFolder);

}  // namespace Import
