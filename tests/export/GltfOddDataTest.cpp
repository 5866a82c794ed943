// Records no file reader would refuse but a glTF file can't hold as they stand: numbers
// that are not finite, weights out of range, corners past the vertices, 65536 vertices,
// animations far longer than their keys, bones that name themselves as parent.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "GltfCompare.h"
#include "GltfEvaluator.h"
#include "TestUtil.h"
#include "export/gltf.h"
#include "model/object.h"
#include "model/pose.h"

namespace {

using GltfEval::Document;
using Model::CVellModel;

Model::SubMesh Quad(std::string name, std::size_t vertices) {
    Model::SubMesh s;
    s.name = std::move(name);
    for (std::size_t v = 0; v < vertices; ++v) {
        const float x = static_cast<float>(v % 4);
        s.positions.push_back({x, static_cast<float>(v / 4), 1});
        s.normals.push_back({0, 0, 1});
        s.texCoords.push_back({x / 4, 0});
        s.boneIndices.push_back({0, 1, Model::kNoBone, Model::kNoBone});
        s.boneWeights.push_back({0.5f, 0.5f, 0, 0});
    }
    s.indices = {0, 1, 2, 2, 1, 3};
    s.boneMap = {0, 1};
    s.skinnedPositions = s.positions;
    s.vertexMatrices.assign(vertices, Model::kIdentity);
    s.colors.assign(vertices, {1, 1, 1});
    return s;
}

Model::Bone MakeBone(std::string name, uint32_t parent, Model::AnimTrack track) {
    return {.name = std::move(name), .tracks = {std::move(track)}, .parent = parent};
}

// Two bones, the second naming itself as its parent; one animation of 4e9 frames with keys
// up to frame 8; `subMeshes` bound to them.
void MakeCharacter(CVellModel& model, std::vector<Model::SubMesh> subMeshes) {
    Model::Mesh& mesh = model.MeshAt(0);
    mesh.name = "odd";
    mesh.bones = {{"a", Model::kIdentity}, {"b", Model::kIdentity}};
    mesh.boneCount = 2;
    mesh.bones[1].matrix[13] = -1;
    const Model::AnimTrack turning{
        .baseRotation = {0, 0, 0, 1},
        .baseScale = {1, 1, 1},
        .rotationKeys = {{0, {0, 0, 0, 1}}, {8, {0, 0, 0.7071068f, 0.7071068f}}}};
    const Model::AnimTrack moving{.basePosition = {0, 1, 0},
                                  .baseRotation = {0, 0, 0, 1},
                                  .baseScale = {1, 1, 1},
                                  .positionKeys = {{2, {0, 1, 0}}, {6, {2, 1, 0}}}};
    Model::Skeleton& skeleton = model.GetSkeleton();
    skeleton.bones = {MakeBone("a", Model::kNoParent, turning), MakeBone("b", 1, moving)};
    skeleton.boneCount = 2;
    skeleton.animationNames = {"odd"};
    skeleton.frameCounts = {4000000000u};
    skeleton.boneColors = {{1, 0, 0}, {0, 1, 0}};
    mesh.subMeshes = std::move(subMeshes);
    Model::BindToSkeleton(mesh, skeleton);
}

// Every odd record in one file: numbers come out finite, normals of unit length, weights
// normalised, corners past the vertices dropped; 65536 vertices take 32-bit indices; a
// sub-mesh without triangles is left out and one without material gets the plain one; the
// validator finds no error.
TEST(GltfOddData, OddRecordsExportFiniteAndValid) {
    Model::SubMesh odd = Quad("q", 4);
    odd.positions[1] = {NAN, 1, INFINITY};
    odd.normals[2] = {0, 0, 0};
    odd.boneWeights[0] = {NAN, -1, 0, 0};
    odd.boneWeights[1] = {2, 3, 0, 0};
    odd.boneWeights[2] = {0.1f, 0.1f, 0, 0};
    odd.indices = {0, 1, 2, 2, 1, 9};  // 9 is past the four vertices
    Model::SubMesh none = Quad("none", 4);
    none.indices = {0, 0, 1};
    Model::SubMesh big = Quad("big", 65536);
    big.indices = {65535, 0, 1};
    CVellModel model;
    MakeCharacter(model, {odd, none, big});
    model.SkinAt(0).materials.resize(1);  // fewer materials than sub-meshes
    TestUtil::TempDir dir;
    const std::string file = dir / "odd.glb";
    Export::ExportGltf(model, file, {}, {.scale = 1});
    const Document doc = GltfEval::Load(file);
    const auto& primitives = doc.json["meshes"][0]["primitives"];
    ASSERT_EQ(primitives.size(), 2u);
    const auto& prim = primitives[0];
    for (double v : GltfEval::ReadAccessor(doc, prim["attributes"]["POSITION"])) {
        EXPECT_TRUE(std::isfinite(v));
    }
    const auto normals = GltfEval::ReadAccessor(doc, prim["attributes"]["NORMAL"]);
    const auto weights = GltfEval::ReadAccessor(doc, prim["attributes"]["WEIGHTS_0"]);
    for (std::size_t v = 0; v < 4; ++v) {
        EXPECT_NEAR(std::hypot(normals[3 * v], normals[3 * v + 1], normals[3 * v + 2]), 1, 1e-6);
        double sum = 0;
        for (int k = 0; k < 4; ++k) {
            EXPECT_GE(weights[4 * v + k], 0);
            sum += weights[4 * v + k];
        }
        EXPECT_NEAR(sum, 1, 1e-6) << "vertex " << v;
    }
    EXPECT_EQ(GltfEval::ReadAccessor(doc, prim["indices"]), (std::vector<double>{0, 2, 1}));
    const int bigIndices = primitives[1]["indices"];
    EXPECT_EQ(doc.json["accessors"][bigIndices]["componentType"], 5125);
    EXPECT_EQ(GltfEval::ReadAccessor(doc, bigIndices), (std::vector<double>{65535, 1, 0}));
    EXPECT_EQ(primitives[1]["extras"]["subMesh"], 2);
    // The sub-mesh without a skin material gets a plain one with nothing to keep.
    const auto& plain = doc.json["materials"][primitives[1]["material"].get<int>()];
    EXPECT_TRUE(plain["name"].get<std::string>().starts_with("untextured")) << plain["name"];
    EXPECT_FALSE(plain.contains("extras"));
    GltfEval::ExpectValid(file);
}

// The longest input of an animation's samplers: constant channels hold a single time.
std::vector<double> LongestInput(const Document& doc, int animation) {
    std::vector<double> times;
    for (const auto& sampler : doc.json["animations"][animation]["samplers"]) {
        auto input = GltfEval::ReadAccessor(doc, sampler["input"]);
        if (input.size() > times.size()) {
            times = std::move(input);
        }
    }
    return times;
}

// An animation far longer than its keys stays small and poses exactly, at the keys, between
// them and long past them; the bone naming itself as its parent is a root. A second one in
// which nothing leaves its rest still lasts its 30 frames.
TEST(GltfOddData, AnimationFarLongerThanItsKeysStaysSmallAndExact) {
    CVellModel model;
    MakeCharacter(model, {Quad("q", 8)});
    Model::Skeleton& skeleton = model.GetSkeleton();
    for (Model::Bone& bone : skeleton.bones) {
        Model::AnimTrack resting = bone.tracks[0];
        resting.positionKeys.clear();
        resting.rotationKeys.clear();
        bone.tracks.push_back(resting);
    }
    skeleton.animationNames.push_back("still");
    skeleton.frameCounts.push_back(30);
    TestUtil::TempDir dir;
    Export::ExportGltf(model, dir / "odd.glb", {}, {.scale = 1});
    const Document doc = GltfEval::Load(dir / "odd.glb");
    const std::vector<double> times = LongestInput(doc, 0);
    EXPECT_LE(times.size(), 12u);
    EXPECT_NEAR(times.back(), 3999999999.0 / 60, 1e3);
    EXPECT_NEAR(LongestInput(doc, 1).back(), 29 / 60.0, 1e-6);
    const struct {
        unsigned animation;
        std::vector<float> frames;
    } kRows[] = {{1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 500, 100000}}, {2, {0, 15, 29}}};
    for (const auto& row : kRows) {
        model.PlayAnimation(row.animation);
        for (float f : row.frames) {
            model.PoseAt(f);
            const auto expected = GltfCompare::ModelPositions(model);
            EXPECT_LE(GltfCompare::Distance(
                          expected,
                          GltfEval::Evaluate(doc, static_cast<int>(row.animation - 1), f / 60.0)),
                      1e-3)
                << "animation " << row.animation << " frame " << f;
        }
    }
    GltfEval::ExpectValid(dir / "odd.glb");
}

}  // namespace
