// glTF 2.0 export of the model shown: its visible sub-meshes with their textures, the
// skeleton, the skin and every animation, posed at every integer frame as the view draws it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/model.h"
#include "pakmgr/pakmgr.h"

namespace Export {

// glTF counts in metres, the game in centimetres: its characters stand about 180 units tall.
inline constexpr float kMetresPerGameUnit = 0.01f;

// How ExportGltf writes the model.
struct GltfOptions {
    // Every length (positions, node and key translations, the translation part of the
    // inverse bind matrices) is multiplied by this; 1 keeps the game's units.
    float scale = kMetresPerGameUnit;
    // The animation files: the first is the one LoadAnimation read (only its name is used
    // here); each further one adds its animations, its tracks matched to the first's bones by
    // name (a bone it lacks keeps its base placement; a bone the first lacks is ignored).
    // With more than one file, animations are named "<file stem>/<animation name>".
    std::vector<PakMgr::ITreeNode*> animations;
    // A further file that matches no bone throws Except naming it, or, when this is set, is
    // left out and "<file>: <reason>" added here.
    std::vector<std::string>* skipped = nullptr;
    // Threads that encode the textures as PNG; 0 means one per core. A caller that already
    // exports several models side by side gives 1, so the workers don't fight over the cores.
    unsigned imageThreads = 0;
    // .gltf: the PNG file name of each texture (as its material names it) when the caller
    // decided them, as a folder export does among all its models' files; a texture not in
    // it is named as ExportGltf says.
    const std::map<std::string, std::string>* imageFiles = nullptr;
};

// Writes the model as glTF 2.0: binary (.glb), or JSON when the path ends in ".gltf", with a
// .bin and the textures as PNG files beside it (plain ASCII names made from the output's:
// "<stem>.bin", "<stem>_<texture stem>.png"). Visible sub-meshes with a material per skin
// material (its textures, glow and colours), the skeleton, skin and every animation at 60
// frames per second (a joint's path only when some animation moves it from its rest), as
// drawn, turned to face +Z with +Y up, in metres unless the options say otherwise. Textures are
// found below the folders of `skinNodes`. The model is one made by Model::CreateModel or
// View::CreateModel. Throws Except when a file can't be written or an animation file can't be used.
void ExportGltf(Model::IVellModel& model, const std::string& path,
                const std::vector<PakMgr::ITreeNode*>& skinNodes, const GltfOptions& options = {});

}  // namespace Export
