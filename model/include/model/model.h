// The model object: the loaded character (a whole model or body parts plus one attached
// piece), its skeleton and animation playback, drawing and the exports.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pakmgr/pakmgr.h"

namespace Dds {
struct DdsImage;
}

namespace Model {

// The names the model loads as a skin or an animation: the extension anywhere in the name,
// in this letter case ("a.skn.bak" is a skin, "A.SKN" is not). Every front end picks files by
// these, so that it never offers one the model then refuses.
inline bool IsSkinName(std::string_view name) {
    return name.find(".skn") != std::string_view::npos;
}
inline bool IsAnimationName(std::string_view name) {
    return name.find(".ani") != std::string_view::npos;
}

// Receives a sequence of names, one call per name (animation names, sub-mesh names).
struct IStringList {
    virtual ~IStringList() = default;
    virtual void AddString(const std::string& name) = 0;
};

// The frame-export sink: the caller's view of the picture being captured.
struct IAnimate {
    virtual ~IAnimate() = default;
    virtual int GetWidth() = 0;
    virtual int GetHeight() = 0;
    virtual void Advance() = 0;
    // Draws one complete frame of the scene with the current GL context.
    virtual void Render() = 0;
    virtual void SetProgressRange(unsigned short low, unsigned short high) = 0;
    virtual void StepProgress() = 0;
};

// A bone of the skeleton as the viewer shows it: its joint (model space, before the
// mirror the model is drawn with) as posed now.
struct BoneInfo {
    std::string name;     // code page 936
    uint32_t parent = 0;  // kNoParent (0xFFFFFFFF) for a root
    float joint[3] = {0, 0, 0};
};

// What the viewer's info panel shows of the model. Names are code page 936.
struct SubMeshInfo {
    std::string name;
    unsigned vertices = 0;
    unsigned triangles = 0;
    bool visible = true;
};
struct TextureInfo {
    std::string name;                            // the file name the material gives
    std::shared_ptr<const Dds::DdsImage> image;  // empty when it was not loaded
};
struct PieceInfo {
    std::size_t slot = 0;  // 0 whole model, 1 to 8 body parts, 9 the attachment
    std::string skin;
    std::string mesh;                    // the mesh file the skin names
    std::vector<SubMeshInfo> subMeshes;  // in EnumSubMeshes order
    std::vector<TextureInfo> textures;   // every file the materials name, each once
};
struct AnimationInfo {
    std::string name;
    int lastFrame = 0;
};
struct ModelInfo {
    std::vector<PieceInfo> pieces;  // the slots that hold a mesh, in slot order
    std::vector<AnimationInfo> animations;
    // Until an animation is loaded (GetBones is empty then): the meshes' distinct bone
    // names, in slot order, as ModelState counts them; they have no parents.
    std::vector<std::string> meshBones;
    // The extent of the visible sub-meshes' vertices as posed now (model space, before the
    // view's mirror); zero without any.
    float boxMin[3] = {0, 0, 0};
    float boxMax[3] = {0, 0, 0};
};

// GLenum, without pulling the GL headers into every user of the model.
using PolygonMode = unsigned int;

// What the viewer shows of the model: sizes for the status bar and the playing frame, whose
// change tells the view that the picture changed.
struct ModelState {
    unsigned vertices = 0;
    unsigned triangles = 0;
    // The skeleton's bones once an animation is loaded; before, the distinct bone names of
    // the loaded meshes.
    unsigned bones = 0;
    // Integer frame of the animation playing or held at speed 0, -1 when none.
    int frame = -1;
    int lastFrame = -1;
    bool paused = false;  // the frame is held (Pause, SetFrame); it counts as playing
};

// Text arguments and names are code page 936 bytes, as the archives store them.
struct IVellModel {
    virtual ~IVellModel() = default;

    // Loads a .skn node as the whole model (false) or into the body-part slot its name
    // picks when it lies in a folder named "parts" (true). Throws Except; a failed load
    // leaves the model unchanged.
    virtual bool Load(PakMgr::ITreeNode* node) = 0;
    // Reads an .ani node and binds every part to its skeleton. Throws Except.
    virtual void LoadAnimation(PakMgr::ITreeNode* node) = 0;
    virtual void GetBoundingBox(float* min, float* max) = 0;
    // A GL context must be current. Textures are made in that context at the first draw
    // there. A model made without a renderer draws nothing.
    virtual void Draw() = 0;
    // Advances playback from the clock; poses again when the integer frame changes.
    virtual void Update() = 0;
    virtual void SetPolygonMode(PolygonMode mode) = 0;
    virtual bool ToggleSkeleton() = 0;
    virtual void EnumAnimations(IStringList* list) = 0;
    // 1 is the skeleton's first animation; 0 or past the end returns to the bind pose.
    virtual void PlayAnimation(unsigned index) = 0;
    virtual bool IsDrawEnabled() = 0;
    virtual void SetSpeed(float framesPerSecond) = 0;
    // Every sub-mesh of slots 0 to 9; the running position is SetSubMeshVisible's index.
    virtual void EnumSubMeshes(IStringList* list) = 0;
    virtual void SetSubMeshVisible(unsigned index, bool visible) = 0;
    // Writes every exported frame of the playing animation as a BMP into the folder. Throws
    // Except for a model made without a renderer.
    virtual bool ExportFrames(const std::string& folder, IAnimate* sink) = 0;
    // The number of pictures ExportFrames would write; 0 for index 0 or past the end.
    virtual unsigned GetFrameCount(unsigned index) = 0;
    virtual bool ToggleVersionCheck() = 0;
    // True when none of the whole-model and body-part slots holds a sub-mesh.
    virtual bool IsEmpty() = 0;
    // One OBJ file per visible sub-mesh of the whole model and the body parts, with its
    // diffuse texture copied beside it, into `folder`. Each part's textures are found below
    // the folder of the .skn it was loaded from (`node`, the model's .skn node, stands in
    // for a part built by hand), so the files don't depend on which node is given.
    // Files are written as UTF-8: names made safe by PakMgr::SafeFileName, the comment
    // and group names converted from code page 936. Throws Except naming the first file
    // that can't be written (what was written of it is removed).
    // With `materials`, the attachment is written too, hanging where the view shows it,
    // and each OBJ file also gets a .mtl naming a PNG copy of its texture (map_Kd, and
    // map_d when the texture cuts out) and its glow (Ke, map_Ke), the mtllib/usemtl lines,
    // and faces wound to agree with their normals, for other tools; the OBJ, .mtl and PNG
    // names have '_' for spaces, as those lines take one word.
    // No two files of the export meet: with `renamed`, each file whose name was taken by
    // another of them (and so got ~N) is added, its source name in UTF-8.
    virtual bool ExportObj(const std::string& comment, PakMgr::ITreeNode* node,
                           const std::string& folder = ".", bool materials = false,
                           std::vector<PakMgr::CutNames::Renamed>* renamed = nullptr) = 0;
    // Hangs a piece on the parts' "~BoxBone01" bone. Throws Except.
    virtual bool LoadAttachment(PakMgr::ITreeNode* node) = 0;

    // For tools: sets the current frame of the selected animation and poses it at once.
    virtual void PoseAt(float frame) = 0;
    // For the viewer: the shown model's sizes and the playing frame.
    virtual ModelState GetState() = 0;
    // For the viewer: releases the model, its parts, attachment and animations (GL objects
    // with them: the context they were made in must be current).
    virtual void Clear() = 0;

    // For the viewer's timeline: holds the chosen animation at `frame` (kept within 0 and its
    // last frame) and poses it at once; playback stays paused there until Pause(false).
    // Nothing happens while no animation is chosen.
    virtual void SetFrame(int frame) = 0;
    // Holds the frame shown (the speed is kept), or plays on from the held frame.
    virtual void Pause(bool paused) = 0;
    // For the lit view: keeps posed normals (the rotation part of each vertex's skinning,
    // renormalised) beside the posed positions, and draws with one light from the camera.
    virtual void SetLighting(bool on) = 0;
    // For the viewer's bone picking and info panel: the skeleton's bones in order.
    virtual std::vector<BoneInfo> GetBones() = 0;
    // For the viewer's info panel: the pieces, their sub-meshes and textures, the animations,
    // the mesh bones and the size.
    virtual ModelInfo GetInfo() = 0;
};

// A model of one's own reading through GetPakMgr() that loads, poses and exports without
// GL and draws nothing; View::CreateModel and View::GetModel make models that draw.
std::unique_ptr<IVellModel> CreateModel();

// Process-wide display switches (the version switch lives with the readers).
inline bool showSkeleton = false;
inline bool drawEnabled = true;
// The skeleton (and its labels) drawn over the mesh, whether or not showSkeleton is set.
inline bool bonesOnTop = false;
// The bone the user selected, drawn highlighted; -1 for none.
inline int selectedBone = -1;

}  // namespace Model
