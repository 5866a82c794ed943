// What the model commands (obj, gltf, frames) share: finding the files they load, the GL
// context frames draws in, loading in the browser's order, and index options.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Cli.h"
#include "export/folder.h"
#include "glcontext/glcontext.h"
#include "model/model.h"
#include "model/records.h"

namespace Cli {

struct ModelInput {
    std::vector<PakMgr::ITreeNode*> skins;  // SKN... after GAME_DIR, in order
    PakMgr::ITreeNode* attach = nullptr;    // --attach
    PakMgr::ITreeNode* ani = nullptr;       // the first --ani
    std::vector<PakMgr::ITreeNode*> anis;   // every --ani, in order
};

// The nodes the command line names; a usage error for any path that names none.
ModelInput FindModelInput(const Args& args, PakMgr::IPakMgr& mgr);

// A headless context current on this thread; exits with status 1 when none can be had.
std::unique_ptr<GlContext::Headless> MakeContext(int width, int height);

// Loads the skins in order, then the attachment, then the animation.
void LoadModel(Model::IVellModel& model, const ModelInput& input);

// A whole number from an option's value; a usage error otherwise.
unsigned ParseIndex(std::string_view text, const char* option);
// "I,J,..." as `--hide` takes it.
std::vector<unsigned> ParseIndexList(std::string_view text, const char* option);

// --frame's value: a frame number, fractions allowed.
float ParseFrame(const std::string& text);
// Poses the playing animation at `frame` after checking that it has that frame (`text` is
// the option's value as given, for the message).
void PoseAtFrame(Model::IVellModel& model, unsigned animation, float frame,
                 const std::string& text);

// --size WxH, each side 1 to maxSide; 640x480 when absent.
struct Size {
    int width = 640;
    int height = 480;
};
Size ParseSize(const std::string& text, int maxSide);

// A length factor from --scale: finite and above 0.
float ParseScale(const std::string& text);

// `--each FOLDER`: every whole model below FOLDER exported into OUT_DIR (-o) on --jobs
// workers, a line per failure, a progress line on a terminal and the count at the end; 1
// when any failed.
int ExportEach(const Args& args, PakMgr::IPakMgr& mgr, Export::FolderOptions options);

// PlayAnimation(index) after checking that the loaded file has that many animations.
void PlayAnimation(Model::IVellModel& model, unsigned index);
// SetSubMeshVisible(i, false) for each index, after checking it names a sub-mesh.
void HideSubMeshes(Model::IVellModel& model, const std::vector<unsigned>& indices);

}  // namespace Cli
