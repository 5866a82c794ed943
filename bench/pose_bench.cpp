// Posing a large skinned model, next to a plain four-influence skinning loop, and the
// OBJ export of the same model.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "model/obj.h"
#include "model/object.h"
#include "model/pose.h"

namespace {

constexpr std::size_t kVertices = 50000;
constexpr std::size_t kBones = 60;
constexpr int kInfluences = 4;
constexpr uint16_t kFrames = 30;

Model::VectorKey VKey(uint16_t frame, float x, float y, float z) {
    return Model::VectorKey{frame, {x, y, z}};
}

Model::RotationKey RKey(uint16_t frame, float angle) {
    return Model::RotationKey{frame, {0, std::sin(angle / 2), 0, std::cos(angle / 2)}};
}

// A chain-and-branch skeleton of kBones bones, each keyed at the first and last frame.
Model::Skeleton MakeSkeleton() {
    Model::Skeleton skeleton;
    skeleton.animationNames = {"walk"};
    skeleton.frameCounts = {kFrames};
    for (std::size_t b = 0; b < kBones; ++b) {
        Model::Bone bone;
        bone.name = "bone" + std::to_string(b);
        bone.index = static_cast<uint32_t>(b);
        bone.parent = b == 0 ? Model::kNoParent : static_cast<uint32_t>((b - 1) / 2);
        Model::AnimTrack track;
        track.baseRotation = {0, 0, 0, 1};
        track.baseScale = {1, 1, 1};
        track.positionKeys = {VKey(0, 0, 1, 0), VKey(kFrames - 1, 0.5f, 1, 0)};
        track.rotationKeys = {RKey(0, 0), RKey(kFrames - 1, 0.3f)};
        bone.tracks.push_back(track);
        skeleton.bones.push_back(bone);
        skeleton.boneColors.push_back({0.5f, 0.5f, 0.5f});
    }
    skeleton.boneCount = kBones;
    skeleton.animationCount = 1;
    return skeleton;
}

Model::Mesh MakeMesh() {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-1, 1);
    std::uniform_int_distribution<uint16_t> slot(0, kBones - 1);
    Model::Mesh mesh;
    mesh.version = 11;
    for (std::size_t b = 0; b < kBones; ++b) {
        Model::MeshBone bone{"bone" + std::to_string(b), Model::kIdentity};
        bone.matrix[13] = -static_cast<float>(b);
        mesh.bones.push_back(bone);
    }
    mesh.boneCount = kBones;
    Model::SubMesh s;
    s.name = "body";
    for (std::size_t v = 0; v < kVertices; ++v) {
        s.positions.push_back({coordinate(random), coordinate(random), coordinate(random)});
        s.normals.push_back({0, 0, 1});
        s.texCoords.push_back({coordinate(random), coordinate(random)});
        s.boneIndices.push_back({slot(random), slot(random), slot(random), slot(random)});
        s.boneWeights.push_back({0.4f, 0.3f, 0.2f, 0.1f});
    }
    for (std::size_t i = 0; i + 2 < kVertices; ++i) {
        s.indices.push_back(static_cast<uint16_t>(i));
    }
    for (std::size_t b = 0; b < kBones; ++b) {
        s.boneMap.push_back(static_cast<uint16_t>(b));
    }
    s.primitive = Model::kTriangleStrip;
    s.skinnedPositions = s.positions;
    s.colors.assign(kVertices, {1, 1, 1});
    s.vertexMatrices.assign(kVertices, Model::kIdentity);
    mesh.subMeshes.push_back(std::move(s));
    return mesh;
}

std::unique_ptr<Model::CVellModel> MakeModel() {
    auto model = std::make_unique<Model::CVellModel>();
    Model::Skeleton skeleton = MakeSkeleton();
    Model::Mesh mesh = MakeMesh();
    Model::BindToSkeleton(mesh, skeleton);
    model->GetSkeleton() = std::move(skeleton);
    model->MeshAt(Model::kWholeModel) = std::move(mesh);
    model->Playback().animation = 0;
    model->Playback().currentFrame = 12.5f;
    return model;
}

void BM_Pose(benchmark::State& state) {
    auto model = MakeModel();
    for (auto _ : state) {
        model->Pose();
        benchmark::DoNotOptimize(model->MeshAt(0).subMeshes[0].skinnedPositions.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kVertices));
}
BENCHMARK(BM_Pose)->Unit(benchmark::kMicrosecond);

// The textbook loop: each vertex transformed by its four bone matrices (3 × 4 affine) and
// the results blended, with nothing stored but the position.
void BM_PlainSkinning(benchmark::State& state) {
    auto model = MakeModel();
    model->Pose();
    const Model::SubMesh& s = model->MeshAt(0).subMeshes[0];
    std::vector<std::array<float, 12>> bones(kBones);
    for (std::size_t b = 0; b < kBones; ++b) {
        const Model::Matrix& m = model->GetSkeleton().bones[b].worldMatrix;
        bones[b] = {m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10], m[12], m[13], m[14]};
    }
    std::vector<Model::Vec3> out(kVertices);
    for (auto _ : state) {
        for (std::size_t v = 0; v < kVertices; ++v) {
            const Model::Vec3& p = s.positions[v];
            float x = 0, y = 0, z = 0;
            for (int k = 0; k < kInfluences; ++k) {
                const float* m = bones[s.boneIndices[v][k]].data();
                const float w = s.boneWeights[v][k];
                x += w * (p[0] * m[0] + p[1] * m[3] + p[2] * m[6] + m[9]);
                y += w * (p[0] * m[1] + p[1] * m[4] + p[2] * m[7] + m[10]);
                z += w * (p[0] * m[2] + p[1] * m[5] + p[2] * m[8] + m[11]);
            }
            out[v] = {x, y, z};
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kVertices));
}
BENCHMARK(BM_PlainSkinning)->Unit(benchmark::kMicrosecond);

// The OBJ text alone, formatted in memory.
void BM_ObjText(benchmark::State& state) {
    auto model = MakeModel();
    model->Pose();
    const Model::SubMesh& s = model->MeshAt(0).subMeshes[0];
    std::string text;
    for (auto _ : state) {
        text.clear();
        Model::AppendObjText(text, s, "Vell");
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ObjText)->Unit(benchmark::kMillisecond);

// The whole export: text and file, into a temporary folder.
void BM_ExportObj(benchmark::State& state) {
    auto model = MakeModel();
    model->Pose();
    std::string folder = (std::filesystem::temp_directory_path() / "vell-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    for (auto _ : state) {
        model->ExportObj("Vell", nullptr, folder);
    }
    const auto bytes = std::filesystem::file_size(folder + "/body_00.obj");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ExportObj)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
