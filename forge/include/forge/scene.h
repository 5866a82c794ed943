// Game files of a small textured character, written by the project's writers: a grid
// mesh (one or more sub-meshes), its skin, a DDS texture and an animation. Shared by the
// rendering and robustness tests and the frame-export benchmark.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "forge/dds.h"
#include "forge/model.h"
#include "forge/pak.h"

namespace SceneFiles {

// Paths as the archive stores them and as the command line names them.
inline constexpr char kSkin[] = "\\chars\\hero\\hero.skn";
inline constexpr char kMesh[] = "\\chars\\hero\\hero.msh";
inline constexpr char kTexture[] = "\\chars\\hero\\hero.dds";
inline constexpr char kAnimation[] = "\\chars\\hero\\hero.ani";
inline constexpr char kSkinArg[] = "chars/hero/hero.skn";
inline constexpr char kAnimationArg[] = "chars/hero/hero.ani";
inline constexpr char kRootBone[] = "root";
inline constexpr char kChildBone[] = "child";

// One rectangle of the mesh: a grid of cells × cells quads in the plane z.
struct Patch {
    float x0 = -50;
    float y0 = -50;
    float x1 = 50;
    float y1 = 50;
    float z = 0;
    int cells = 1;
    bool textured = true;  // false: its material names no texture
    bool strip = false;    // one triangle strip (cells must be 1)
    // Rows that share no vertices, as a mesh cut along many texture seams: about one
    // triangle per vertex instead of two. Rows of `columns` quads each.
    bool ribbons = false;
    int columns = 1;
};

struct Scene {
    std::vector<Patch> patches = std::vector<Patch>(1);
    uint32_t texel = 0xFFC86432;  // A8R8G8B8: the texture's one colour
    uint32_t textureSide = 4;
    bool skinned = true;     // every vertex bound to the root bone
    bool blended = false;    // skinned to root and child, weighted by height
    uint32_t frames = 10;    // of the one animation
    float travel = 0;        // the root bone's x offset at the last frame
    float childHeight = 30;  // the child bone's offset above the root
    std::string rootName = kRootBone;
};

// A grid of cells x cells quads, or `cells` ribbons of `columns` quads.
inline void FillGrid(const Patch& p, Forge::SubMeshDesc& sub) {
    const int rows = p.cells;
    const int columns = p.ribbons ? p.columns : p.cells;
    const int rowVertices = p.ribbons ? 2 : rows + 1;  // vertex rows per row of quads
    for (int r = 0; r < (p.ribbons ? rows : 1); ++r) {
        for (int j = 0; j < rowVertices; ++j) {
            const int line = p.ribbons ? r + j : j;
            for (int i = 0; i <= columns; ++i) {
                const float u = static_cast<float>(i) / static_cast<float>(columns);
                const float v = static_cast<float>(line) / static_cast<float>(rows);
                sub.positions.push_back({p.x0 + (p.x1 - p.x0) * u, p.y0 + (p.y1 - p.y0) * v, p.z});
                sub.normals.push_back({0, 0, -1});
                sub.texCoords.push_back({u, v});
            }
        }
    }
    const auto at = [&](int i, int j, int r) {
        const int first = p.ribbons ? r * 2 * (columns + 1) : 0;
        const int line = p.ribbons ? j - r : j;
        return static_cast<uint16_t>(first + line * (columns + 1) + i);
    };
    if (p.strip) {
        sub.stripFlag = 1;
        sub.indices = {at(0, 0, 0), at(1, 0, 0), at(0, 1, 0), at(1, 1, 0)};
        return;
    }
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < columns; ++i) {
            sub.indices.insert(sub.indices.end(),
                               {at(i, j, j), at(i + 1, j, j), at(i + 1, j + 1, j), at(i, j, j),
                                at(i + 1, j + 1, j), at(i, j + 1, j)});
        }
    }
}

inline Forge::SubMeshDesc GridOf(const Patch& p, int index, const Scene& scene) {
    Forge::SubMeshDesc sub;
    sub.name = "patch" + std::to_string(index);
    FillGrid(p, sub);
    if (scene.skinned && scene.blended) {
        for (const Forge::Vec3& v : sub.positions) {
            const float w = (v[1] - p.y0) / (p.y1 - p.y0);
            sub.boneSlots.push_back({0, 1, Forge::kNoBoneSlot, Forge::kNoBoneSlot});
            sub.boneWeights.push_back({1 - w, w, 0, 0});
        }
        sub.boneNames = std::vector<std::string>{kRootBone, kChildBone};
    } else if (scene.skinned) {
        sub.boneSlots.assign(sub.positions.size(),
                             {0, Forge::kNoBoneSlot, Forge::kNoBoneSlot, Forge::kNoBoneSlot});
        sub.boneWeights.assign(sub.positions.size(), {1, 0, 0, 0});
        sub.boneNames = std::vector<std::string>{kRootBone};
    }
    return sub;
}

inline Forge::MeshDesc MeshOf(const Scene& scene) {
    Forge::MeshDesc mesh;
    mesh.name = "hero";
    mesh.version = 11;
    mesh.boxMin = {1e9f, 1e9f, 1e9f};
    mesh.boxMax = {-1e9f, -1e9f, -1e9f};
    for (std::size_t i = 0; i < scene.patches.size(); ++i) {
        const Patch& p = scene.patches[i];
        mesh.subMeshes.push_back(GridOf(p, static_cast<int>(i), scene));
        mesh.boxMin = {std::min({mesh.boxMin[0], p.x0, p.x1}),
                       std::min({mesh.boxMin[1], p.y0, p.y1}), std::min(mesh.boxMin[2], p.z)};
        mesh.boxMax = {std::max({mesh.boxMax[0], p.x0, p.x1}),
                       std::max({mesh.boxMax[1], p.y0, p.y1}), std::max(mesh.boxMax[2], p.z)};
    }
    if (scene.skinned) {
        mesh.bones.push_back({kRootBone, Forge::kIdentityMatrix});
    }
    if (scene.skinned && scene.blended) {
        // The child's inverse bind matrix takes model space into its frame.
        Forge::Matrix inverse = Forge::kIdentityMatrix;
        inverse[13] = -scene.childHeight;
        mesh.bones.push_back({kChildBone, inverse});
    }
    return mesh;
}

inline Forge::SkinDesc SkinOf(const Scene& scene) {
    Forge::SkinDesc skin;
    skin.name = "hero";
    skin.meshName = "hero.msh";
    for (const Patch& p : scene.patches) {
        Forge::MaterialDesc material;
        if (p.textured) {
            material.params.push_back(Forge::TextParam("g_DiffuseTex", "hero.dds"));
        }
        skin.materials.push_back(material);
    }
    return skin;
}

inline std::vector<uint8_t> TextureOf(const Scene& scene) {
    Forge::DdsDesc desc;
    desc.width = scene.textureSide;
    desc.height = scene.textureSide;
    const std::vector<uint32_t> words(std::size_t{scene.textureSide} * scene.textureSide,
                                      scene.texel);
    return Forge::WriteDds(desc, Forge::PackPixelWords(words, 32));
}

// The root moves from the origin to (travel, 0, 0) over the animation; the child stands
// childHeight above it.
inline Forge::AnimationDesc AnimationOf(const Scene& scene) {
    Forge::AnimationDesc ani;
    ani.name = "hero";
    ani.version = 11;
    ani.animationNames = {"walk"};
    ani.frameCounts = {scene.frames};
    Forge::TrackDesc root;
    root.positionKeys = {{0, {0, 0, 0}}, {scene.frames - 1, {scene.travel, 0, 0}}};
    root.rotationKeys = {{0, {0, 0, 0, 1}}, {scene.frames - 1, {0, 0, 0, 1}}};
    Forge::TrackDesc child;
    child.basePosition = {0, scene.childHeight, 0};
    ani.bones = {{scene.rootName, "", {root}}, {kChildBone, scene.rootName, {child}}};
    return ani;
}

inline std::vector<Forge::PakFile> FilesOf(const Scene& scene) {
    return {
        {kSkin, Forge::WriteSkin(SkinOf(scene))},
        {kMesh, Forge::WriteMesh(MeshOf(scene))},
        {kTexture, TextureOf(scene)},
        {kAnimation, Forge::WriteAnimation(AnimationOf(scene))},
    };
}

}  // namespace SceneFiles
