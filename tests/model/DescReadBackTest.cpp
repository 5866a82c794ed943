// The model files read back into the writers' descriptions write the same bytes again:
// every .msh, .skn and .ani of the sample game, strips, both animation versions and the
// unskinned sword among them, and files the rows below make on purpose.
#include <gtest/gtest.h>

#include "SampleGameFolder.h"
#include "base/except.h"
#include "model/writer.h"
#include "pakmgr/pakmgr.h"

namespace {

bool EndsWith(const std::string& text, std::string_view end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::vector<uint8_t> WrittenAgain(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (EndsWith(path, ".msh")) {
        return Model::WriteMesh(Model::ReadMeshDesc(bytes));
    }
    if (EndsWith(path, ".skn")) {
        return Model::WriteSkin(Model::ReadSkinDesc(bytes));
    }
    return Model::WriteAnimation(Model::ReadAnimationDesc(bytes));
}

// Every model file below the node, read from the archives.
void ModelFiles(PakMgr::ITreeNode* node, const std::string& path,
                std::vector<std::pair<std::string, std::vector<uint8_t>>>& out) {
    PakMgr::ForEachChild(node, [&](PakMgr::ITreeNode* child) {
        const std::string childPath = path + "/" + child->GetName();
        if (child->GetChildCount() > 0) {
            ModelFiles(child, childPath, out);
        } else if (EndsWith(childPath, ".msh") || EndsWith(childPath, ".skn") ||
                   EndsWith(childPath, ".ani")) {
            std::unique_ptr<PakMgr::IRead> file = PakMgr::GetPakMgr()->LoadFile(child);
            std::vector<uint8_t> bytes(file->GetSize());
            file->Read(bytes.data(), static_cast<uint32_t>(bytes.size()));
            out.emplace_back(childPath, std::move(bytes));
        }
    });
}

TEST(DescReadBack, EveryModelFileOfTheSampleWritesItsOwnBytes) {
    PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
    mgr->Clear();
    ASSERT_TRUE(mgr->Open(TestUtil::SampleGameFolder()) && mgr->BuildTree());
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    ModelFiles(PakMgr::FindPath(*mgr, "chars/hero"), "chars/hero", files);
    for (const auto& [path, bytes] : files) {
        EXPECT_EQ(WrittenAgain(path, bytes), bytes) << path;
    }
    EXPECT_GE(files.size(), 12u);
    mgr->Clear();
}

Model::MeshDesc SmallMesh() {
    Model::MeshDesc mesh{.name = "m", .version = 12, .spare0 = 7, .spare1 = 9};
    mesh.bones = {{"a", Model::kIdentity}};
    Model::SubMeshDesc sub{.name = "s", .stripFlag = 1, .indices = {0, 1, 2}};
    sub.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    sub.normals = sub.positions;
    sub.texCoords = {{0, 0}, {1, 0}, {0, 1}};
    sub.boneSlots.assign(3, {0, Model::kNoBone, Model::kNoBone, Model::kNoBone});
    sub.boneWeights.assign(3, {1, 0, 0, 0});
    mesh.subMeshes = {sub, sub};
    mesh.subMeshes[0].boneNames = std::vector<std::string>{"a"};
    return mesh;  // the last sub-mesh without its bone-name table
}

TEST(DescReadBack, KeepsSpareWordsStripFlagsAndAMissingLastTable) {
    const std::vector<uint8_t> bytes = Model::WriteMesh(SmallMesh());
    const Model::MeshDesc back = Model::ReadMeshDesc(bytes);
    EXPECT_EQ(back.spare0, 7u);
    EXPECT_EQ(back.subMeshes[0].stripFlag, 1u);
    EXPECT_FALSE(back.subMeshes[1].boneNames.has_value());
    EXPECT_EQ(Model::WriteMesh(back), bytes);
}

TEST(DescReadBack, AFileCutShortIsCorruptAndSizesNothing) {
    std::vector<uint8_t> bytes = Model::WriteMesh(SmallMesh());
    for (std::size_t size : {std::size_t{10}, std::size_t{1100}, bytes.size() - 5}) {
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(size));
        EXPECT_THROW(Model::ReadMeshDesc(cut), Except) << size;
    }
}

}  // namespace
