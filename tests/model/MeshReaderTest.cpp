#include <gtest/gtest.h>

#include "GameFolder.h"
#include "forge/model.h"

namespace {

const auto Read = &TestUtil::Read<Model::Mesh>;

using TestUtil::Translation;

// A sub-mesh of `vertices` vertices whose values follow from `seed`.
Forge::SubMeshDesc MakeSubMesh(const std::string& name, uint16_t vertices, float seed,
                               std::optional<std::vector<std::string>> boneNames) {
    Forge::SubMeshDesc sub;
    sub.name = name;
    for (uint16_t v = 0; v < vertices; ++v) {
        float f = seed + v;
        sub.positions.push_back({f, f + 0.5f, -f});
        sub.normals.push_back({0, 1, f});
        sub.texCoords.push_back({f / 10, 1 - f / 10});
        sub.boneSlots.push_back({0, 1, Forge::kNoBoneSlot, Forge::kNoBoneSlot});
        sub.boneWeights.push_back({0.75f, 0.25f, 0, 0});
        sub.indices.push_back(v);
    }
    sub.boneNames = std::move(boneNames);
    return sub;
}

Forge::MeshDesc MakeMesh(uint32_t version) {
    Forge::MeshDesc mesh{.name = "hero body", .version = version, .spare0 = 7, .spare1 = 9};
    mesh.boxMin = {-1, -2, -3};
    mesh.boxMax = {4, 5, 6};
    mesh.bones = {{"Bip01", Translation(-1, -2, -3)}, {"Bip01 Spine", Translation(0, -10, 0)}};
    mesh.subMeshes = {
        MakeSubMesh("body", 4, 0, std::vector<std::string>{"Bip01 Spine", "Bip01", "Nowhere"}),
        MakeSubMesh("cape", 3, 100, std::vector<std::string>{"Bip01"}),
    };
    return mesh;
}

class MeshVersions : public ::testing::TestWithParam<uint32_t> {};

TEST_P(MeshVersions, ReadsWhatTheWriterWrote) {
    const uint32_t version = GetParam();
    Forge::MeshDesc desc = MakeMesh(version);
    Model::Mesh mesh = Read(Forge::WriteMesh(desc));

    EXPECT_EQ(mesh.name, "hero body");
    EXPECT_EQ(mesh.version, version);
    EXPECT_EQ(mesh.subMeshCount, 2u);
    EXPECT_EQ(mesh.spare0, 7u);
    EXPECT_EQ(mesh.spare1, 9u);
    EXPECT_EQ(mesh.boxMin, (Model::Vec3{-1, -2, -3}));
    EXPECT_EQ(mesh.boxMax, (Model::Vec3{4, 5, 6}));
    ASSERT_EQ(mesh.boneCount, 2u);
    ASSERT_EQ(mesh.bones.size(), 2u);
    EXPECT_EQ(mesh.bones[1].name, "Bip01 Spine");
    EXPECT_EQ(mesh.bones[1].matrix, Translation(0, -10, 0));
    EXPECT_EQ(mesh.bonePositions[0], (Model::Vec3{1, 2, 3}));
    EXPECT_EQ(mesh.bonePositions[1], (Model::Vec3{0, 10, 0}));
    EXPECT_EQ(mesh.boneToTrack, (std::vector<uint16_t>{0, 0}));

    ASSERT_EQ(mesh.subMeshes.size(), 2u);
    for (std::size_t s = 0; s < 2; ++s) {
        const Forge::SubMeshDesc& want = desc.subMeshes[s];
        const Model::SubMesh& got = mesh.subMeshes[s];
        EXPECT_EQ(got.name, want.name);
        EXPECT_EQ(got.indices, want.indices);
        ASSERT_EQ(got.positions.size(), want.positions.size());
        for (std::size_t v = 0; v < want.positions.size(); ++v) {
            EXPECT_EQ(got.positions[v], want.positions[v]);
            EXPECT_EQ(got.normals[v], want.normals[v]);
            EXPECT_EQ(got.texCoords[v], want.texCoords[v]);
        }
        EXPECT_EQ(got.primitive, Model::kTriangles);
        EXPECT_TRUE(got.visible);
        EXPECT_EQ(got.skinnedPositions, got.positions);
        EXPECT_EQ(got.colors, std::vector<Model::Vec3>(want.positions.size(), {1, 1, 1}));
        EXPECT_EQ(got.vertexMatrices,
                  std::vector<Model::Matrix>(want.positions.size(), Model::kIdentity));
        if (version == 10) {
            EXPECT_TRUE(got.boneIndices.empty());
            EXPECT_TRUE(got.boneWeights.empty());
            EXPECT_TRUE(got.boneMap.empty());
        } else {
            ASSERT_EQ(got.boneIndices.size(), want.boneSlots.size());
            EXPECT_EQ(got.boneIndices[0], want.boneSlots[0]);
            EXPECT_EQ(got.boneWeights[2], want.boneWeights[2]);
        }
    }
    if (version != 10) {
        EXPECT_EQ(mesh.subMeshes[0].boneMap, (std::vector<uint16_t>{1, 0, Model::kNoBone}));
        EXPECT_EQ(mesh.subMeshes[1].boneMap, (std::vector<uint16_t>{0}));
    }
}

INSTANTIATE_TEST_SUITE_P(AllVersions, MeshVersions, ::testing::Values(10u, 11u, 12u, 13u));

TEST(MeshReader, UnskinnedFileCarriesNoSkinningData) {
    for (uint32_t version : {11u, 13u}) {
        Forge::MeshDesc desc = MakeMesh(version);
        desc.bones.clear();
        Model::Mesh mesh = Read(Forge::WriteMesh(desc));
        EXPECT_TRUE(mesh.bones.empty());
        EXPECT_TRUE(mesh.bonePositions.empty());
        EXPECT_TRUE(mesh.boneToTrack.empty());
        ASSERT_EQ(mesh.subMeshes.size(), 2u);
        EXPECT_TRUE(mesh.subMeshes[1].boneIndices.empty());
        EXPECT_TRUE(mesh.subMeshes[1].boneMap.empty());
        EXPECT_EQ(mesh.subMeshes[1].positions[2], (Model::Vec3{102, 102.5f, -102}));
    }
}

// The last sub-mesh may end the file without its bone names; a name that two bones share
// resolves to the last of them.
TEST(MeshReader, LastSubMeshMayEndWithoutBoneNamesAndDuplicateNamesTakeTheLastBone) {
    Forge::MeshDesc desc = MakeMesh(12);
    desc.subMeshes[1].boneNames.reset();
    Model::Mesh mesh = Read(Forge::WriteMesh(desc));
    EXPECT_EQ(mesh.subMeshes[0].boneMap.size(), 3u);
    EXPECT_TRUE(mesh.subMeshes[1].boneMap.empty());
    EXPECT_EQ(mesh.subMeshes[1].boneWeights.size(), 3u);
    desc = MakeMesh(11);
    desc.bones.push_back({"Bip01", Forge::kIdentityMatrix});
    desc.bones.push_back({"Other", Forge::kIdentityMatrix});
    mesh = Read(Forge::WriteMesh(desc));
    EXPECT_EQ(mesh.subMeshes[0].boneMap, (std::vector<uint16_t>{1, 2, Model::kNoBone}));
    EXPECT_EQ(mesh.subMeshes[1].boneMap, (std::vector<uint16_t>{2}));
}

TEST(MeshReader, StripFlagBitZeroChoosesTheStrip) {
    Forge::MeshDesc desc = MakeMesh(11);
    desc.subMeshes.push_back(MakeSubMesh("c", 1, 0, std::vector<std::string>{}));
    desc.subMeshes.push_back(MakeSubMesh("d", 1, 0, std::vector<std::string>{}));
    const uint32_t flags[] = {0, 1, 2, 3};
    for (std::size_t s = 0; s < 4; ++s) {
        desc.subMeshes[s].stripFlag = flags[s];
    }
    Model::Mesh mesh = Read(Forge::WriteMesh(desc));
    EXPECT_EQ(mesh.subMeshes[0].primitive, Model::kTriangles);
    EXPECT_EQ(mesh.subMeshes[1].primitive, Model::kTriangleStrip);
    EXPECT_EQ(mesh.subMeshes[2].primitive, Model::kTriangles);
    EXPECT_EQ(mesh.subMeshes[3].primitive, Model::kTriangleStrip);
}

// The bone's position inverts its (inverse) bind matrix. A quarter turn around z at (1, 2, 3),
// whose zero diagonal forces row swaps; a permutation needing two swaps at (4, 5, 6). A
// singular matrix keeps the partial inverse: a zero first pivot leaves the identity; two
// swaps, then a zero pivot in the last column leave the unit row the second swap moved
// there (worked by hand).
TEST(MeshReader, BonePositionInvertsTheBindMatrixAsFarAsItCan) {
    const struct {
        Forge::Matrix matrix;
        Model::Vec3 position;
    } rows[] = {
        {{0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, -2, 1, -3, 1}, {1, 2, 3}},
        {{0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, -5, -6, -4, 1}, {4, 5, 6}},
        {{}, {0, 0, 0}},
        {{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1}, {0, 1, 0}},
    };
    for (const auto& row : rows) {
        Forge::MeshDesc desc = MakeMesh(11);
        desc.bones[0].matrix = row.matrix;
        const Model::Vec3 got = Read(Forge::WriteMesh(desc)).bonePositions[0];
        for (int k = 0; k < 3; ++k) {
            EXPECT_FLOAT_EQ(got[k], row.position[k]) << "component " << k;
        }
    }
}

TEST(MeshReader, ZeroCountsGiveEmptyArraysAndNamesFillingTheirFieldAreCutToIt) {
    Forge::MeshDesc desc = MakeMesh(11);
    desc.subMeshes = {MakeSubMesh("empty", 0, 0, std::vector<std::string>{})};
    Model::Mesh mesh = Read(Forge::WriteMesh(desc));
    ASSERT_EQ(mesh.subMeshes.size(), 1u);
    EXPECT_TRUE(mesh.subMeshes[0].positions.empty());
    EXPECT_TRUE(mesh.subMeshes[0].indices.empty());
    EXPECT_TRUE(mesh.subMeshes[0].vertexMatrices.empty());
    EXPECT_TRUE(mesh.subMeshes[0].boneMap.empty());

    desc.subMeshes.clear();
    desc.bones.clear();
    mesh = Read(Forge::WriteMesh(desc));
    EXPECT_TRUE(mesh.subMeshes.empty());
    EXPECT_TRUE(mesh.bones.empty());
    // Names filling their field are cut to it.
    desc = MakeMesh(11);
    desc.name = std::string(256, 'm');
    desc.bones[0].name = std::string(256, 'b');
    desc.subMeshes[0].name = std::string(256, 's');
    desc.subMeshes[0].boneNames = std::vector<std::string>{std::string(256, 'b')};
    mesh = Read(Forge::WriteMesh(desc));
    EXPECT_EQ(mesh.name, std::string(256, 'm'));
    EXPECT_EQ(mesh.bones[0].name, std::string(256, 'b'));
    EXPECT_EQ(mesh.subMeshes[0].name, std::string(256, 's'));
    EXPECT_EQ(mesh.subMeshes[0].boneMap, (std::vector<uint16_t>{0}));
}

}  // namespace
