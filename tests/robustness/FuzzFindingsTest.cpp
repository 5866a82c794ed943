// Faults the fuzz targets found, each kept as the smallest input that showed it. The
// sanitizer build is where the undefined behaviour among them fails loudly.
#include <cstring>

#include "AllocationCounter.h"
#include "RobustnessUtil.h"
#include "forge/dds.h"
#include "forge/model.h"
#include "model/records.h"
#include "texture/texture.h"

namespace {

using Robustness::ErrorOf;

// The largest single C++ allocation the call makes: the readers must size nothing by a
// count that the file's remaining bytes don't cover.
std::size_t LargestAllocationOf(const std::function<void()>& call) {
    AllocationCounter::ResetLargest();
    call();
    return AllocationCounter::Largest();
}

PakMgr::CMemoryRead Reader(const std::vector<uint8_t>& bytes) {
    return PakMgr::CMemoryRead(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

TEST(FuzzFindings, ReadingNothingIntoNoBufferIsANoOp) {
    // A texture whose header claims no pixel bytes read them into an empty vector, whose
    // data() is null: memcpy with a null pointer is undefined even for 0 bytes.
    const std::vector<uint8_t> bytes = Forge::Bytes("0123456789");
    PakMgr::CMemoryRead reader = Reader(bytes);
    reader.Seek(4, 0);
    reader.Read(nullptr, 0);
    EXPECT_EQ(reader.Tell(), 4u);
}

TEST(FuzzFindings, DdsWithoutPixelBytesParses) {
    Forge::DdsDesc desc;
    desc.width = 4;
    desc.height = 4;
    desc.bitCount = 4;  // less than a byte per pixel: no pixel bytes to read or miss
    const std::vector<uint8_t> bytes = Forge::WriteDds(desc, {});
    PakMgr::CMemoryRead reader = Reader(bytes);
    Texture::DdsImage image = Texture::ParseDds(reader, true);
    EXPECT_TRUE(image.raw.empty());
    EXPECT_EQ(Texture::DecodeToRgba(image).size(), 4u * 4 * 4);
}

TEST(FuzzFindings, Version10KeysLandInThePackedKeys) {
    // Copying into the packed keys once formed a reference to a misaligned float array.
    Forge::AnimationDesc desc;
    desc.version = 10;
    desc.animationNames = {"a"};
    desc.frameCounts = {3};
    Forge::TrackDesc track;
    track.positionKeys = {{70000, {1.5f, 2.5f, 3.5f}}};
    track.rotationKeys = {{2, {0.1f, 0.2f, 0.3f, 0.4f}}};
    desc.bones = {{"root", "", {track}}};
    const std::vector<uint8_t> bytes = Forge::WriteAnimation(desc);
    PakMgr::CMemoryRead reader = Reader(bytes);
    Model::Skeleton skeleton;
    Model::ReadAnimation(reader, skeleton);
    const Model::AnimTrack& read = skeleton.bones.at(0).tracks.at(0);
    ASSERT_EQ(read.positionKeys.size(), 1u);
    EXPECT_EQ(read.positionKeys[0].frame, 70000 & 0xFFFF);
    // Copied out first: gtest would bind references to the packed members.
    const float z = read.positionKeys[0].value[2];
    EXPECT_EQ(z, 3.5f);
    ASSERT_EQ(read.rotationKeys.size(), 1u);
    const float w = read.rotationKeys[0].value[3];
    EXPECT_EQ(w, 0.4f);
}

TEST(FuzzFindings, SkinTextLengthIsCheckedBeforeItsBufferIsMade) {
    Forge::SkinDesc skin;
    skin.meshName = "a.msh";
    Forge::MaterialDesc material;
    material.params = {Forge::TextParam("g_DiffuseTex", "a.dds")};
    skin.materials = {material};
    std::vector<uint8_t> bytes = Forge::WriteSkin(skin);
    // The parameter name's length is the first word after the material's 1024-byte block
    // and its count.
    const std::size_t lengthAt = 1024 + 1024 + 4;
    for (const uint32_t length : {0xFFFFFFF0u, 0x7FFFFFFFu, 100000u}) {
        std::memcpy(bytes.data() + lengthAt, &length, sizeof length);
        PakMgr::CMemoryRead reader = Reader(bytes);
        Model::Skin read;
        std::string error;
        const std::size_t largest = LargestAllocationOf(
            [&] { error = ErrorOf([&] { Model::ReadSkin(read, reader, nullptr); }); });
        EXPECT_EQ(error.rfind("corrupt .skn file: material 0 parameter 0 needs", 0), 0u) << error;
        EXPECT_LT(largest, 64u * 1024) << "length " << length;
    }
}

}  // namespace
