// FBX through Blender: the model is written as glTF, Blender's glTF importer reads it and its
// FBX exporter writes the file (mesh, skin, armature, every action, textures inside), in a
// Blender started in the background with factory settings.
#pragma once

#include <string>

#include "export/folder.h"
#include "export/gltf.h"

namespace Export {

// The Blender program on PATH; empty when there is none.
std::string FindBlender();

// The Blender script that converts, installed with the program: below share/ beside the
// running program's bin/ folder (in a build tree: beside its program's folder, or a test
// program's); empty when it isn't there.
std::string FindFbxScript();

// Writes the model as FBX, as ExportGltf would write it as glTF, at the same scale. Blender is
// started before the glTF is written, so its start-up costs no extra time. The file is written
// whole or not at all. Throws Except when Blender or its script is missing or the conversion
// fails (the message ends with what Blender said last).
void ExportFbx(Model::IVellModel& model, const std::string& path,
               const std::vector<PakMgr::ITreeNode*>& skinNodes, const GltfOptions& options = {});

// ExportFolder for FBX: every model below `folder` exported as "<skin stem>.fbx" at its
// folder path below `outDir`, the glTF files made on options.jobs workers and converted by as
// many Blender processes, each taking the models in turn as they are ready.
FolderSummary ExportFolderFbx(PakMgr::ITreeNode* folder, const std::string& outDir,
                              const FolderOptions& options, const FolderProgress& progress);

}  // namespace Export
