// The seam between the model object and its drawing half: what a renderer is shown of the
// model, and the operations that need a GL context. The model library holds no GL; the
// renderer lives in gl/view and is handed to the model when it is made.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "model/model.h"
#include "model/records.h"

namespace Model {

// The model as drawn: the ten part slots, the skeleton, and the matrix it is drawn with.
struct DrawScene {
    const Matrix& mirror;
    std::span<const Mesh> meshes;
    std::span<const Skin> skins;
    const Skeleton& skeleton;
    // One light from the camera over the posed normals (SubMesh::skinnedNormals).
    bool lighting = false;
};

struct IModelRenderer {
    virtual ~IModelRenderer() = default;
    // Draws the scene with the current GL context.
    virtual void Draw(const DrawScene& scene) = 0;
    virtual void SetPolygonMode(PolygonMode mode) = 0;
    // Reads width × height pixels of the current read buffer as BGRA, rows bottom first,
    // into `out` (width × height × 4 bytes).
    virtual void ReadPixels(int width, int height, std::span<uint8_t> out) = 0;
};

// A model that draws through the renderer (null: one that doesn't draw).
std::unique_ptr<IVellModel> CreateModel(std::unique_ptr<IModelRenderer> renderer);

}  // namespace Model
