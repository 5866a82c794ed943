// The files of a small textured character for the program's tests, written by the project's
// writers: flat rectangles (one sub-mesh each) bound to one root bone, a skin naming a
// one-colour DDS texture, and a one-animation skeleton.
#pragma once

#include <string>
#include <vector>

#include "forge/dds.h"
#include "forge/model.h"
#include "forge/pak.h"

namespace AppGame {

inline constexpr char kRootBone[] = "root";
inline constexpr uint32_t kTexel = 0xFFC86432;  // A8R8G8B8: orange (200, 100, 50)
inline constexpr uint32_t kFrames = 10;

struct Rect {
    float x0, y0, x1, y1;
};

inline Forge::SubMeshDesc Quad(const Rect& r, int index) {
    Forge::SubMeshDesc sub;
    sub.name = "patch" + std::to_string(index);
    sub.positions = {{r.x0, r.y0, 0}, {r.x1, r.y0, 0}, {r.x1, r.y1, 0}, {r.x0, r.y1, 0}};
    sub.normals.assign(4, {0, 0, -1});
    sub.texCoords = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    // Both windings, so that the quad shows from either side.
    sub.indices = {0, 1, 2, 0, 2, 3, 0, 2, 1, 0, 3, 2};
    sub.boneSlots.assign(4, {0, Forge::kNoBoneSlot, Forge::kNoBoneSlot, Forge::kNoBoneSlot});
    sub.boneWeights.assign(4, {1, 0, 0, 0});
    sub.boneNames = std::vector<std::string>{kRootBone};
    return sub;
}

inline std::vector<uint8_t> Mesh(const std::vector<Rect>& rects) {
    Forge::MeshDesc mesh;
    mesh.name = "hero";
    mesh.version = 11;
    mesh.boxMin = {1e9f, 1e9f, 0};
    mesh.boxMax = {-1e9f, -1e9f, 0};
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const Rect& r = rects[i];
        mesh.subMeshes.push_back(Quad(r, static_cast<int>(i)));
        mesh.boxMin = {std::min(mesh.boxMin[0], r.x0), std::min(mesh.boxMin[1], r.y0), 0};
        mesh.boxMax = {std::max(mesh.boxMax[0], r.x1), std::max(mesh.boxMax[1], r.y1), 0};
    }
    mesh.bones.push_back({kRootBone, Forge::kIdentityMatrix});
    return Forge::WriteMesh(mesh);
}

inline std::vector<uint8_t> Skin(std::size_t materials) {
    Forge::SkinDesc skin;
    skin.name = "hero";
    skin.meshName = "hero.msh";
    for (std::size_t i = 0; i < materials; ++i) {
        Forge::MaterialDesc material;
        material.params.push_back(Forge::TextParam("g_DiffuseTex", "hero.dds"));
        skin.materials.push_back(material);
    }
    return Forge::WriteSkin(skin);
}

inline std::vector<uint8_t> Texture() {
    Forge::DdsDesc desc;
    desc.width = 4;
    desc.height = 4;
    const std::vector<uint32_t> words(16, kTexel);
    return Forge::WriteDds(desc, Forge::PackPixelWords(words, 32));
}

inline std::vector<uint8_t> Animation() {
    Forge::AnimationDesc ani;
    ani.name = "hero";
    ani.version = 11;
    ani.animationNames = {"walk"};
    ani.frameCounts = {kFrames};
    Forge::TrackDesc root;
    root.positionKeys = {{0, {0, 0, 0}}, {kFrames - 1, {10, 0, 0}}};
    root.rotationKeys = {{0, {0, 0, 0, 1}}, {kFrames - 1, {0, 0, 0, 1}}};
    ani.bones = {{kRootBone, "", {root}}};
    return Forge::WriteAnimation(ani);
}

// A character in `folder` (archive path with '\' separators, no trailing one).
inline std::vector<Forge::PakFile> Character(const std::string& folder,
                                             const std::vector<Rect>& rects,
                                             const std::string& skinName = "hero.skn") {
    return {{folder + "\\" + skinName, Skin(rects.size())},
            {folder + "\\hero.msh", Mesh(rects)},
            {folder + "\\hero.dds", Texture()},
            {folder + "\\hero.ani", Animation()}};
}

}  // namespace AppGame
