// Every reader against files it must refuse: cut short, of an unknown version, or with
// counts their bytes can't hold. Each row is refused with its message, sizes nothing by the
// count (the largest allocation stays small), and every prefix of a good file is refused.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "AllocationCounter.h"
#include "DdsTestUtil.h"
#include "GameFolder.h"
#include "dds/dds.h"
#include "forge/dds.h"
#include "forge/model.h"
#include "forge/scene.h"
#include "model/records.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr std::size_t kLargestAllowed = 64 * 1024;

Forge::MeshDesc Mesh(uint32_t version = 11) {
    SceneFiles::Scene scene;
    scene.blended = true;
    scene.patches.resize(2);
    Forge::MeshDesc mesh = SceneFiles::MeshOf(scene);
    mesh.version = version;
    return mesh;
}

Forge::SkinDesc Skin() {
    Forge::SkinDesc skin = SceneFiles::SkinOf({});
    skin.materials[0].params.push_back(Forge::ColourParam("g_MaterialDiffuse", {1, 1, 1, 1}));
    skin.materials.push_back({});
    return skin;
}

Forge::AnimationDesc Animation(uint32_t version = 11) {
    SceneFiles::Scene scene;
    scene.travel = 5;
    Forge::AnimationDesc ani = SceneFiles::AnimationOf(scene);
    ani.version = version;
    return ani;
}

Bytes Cut(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

Bytes Poke(Bytes bytes, std::size_t at, uint32_t value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
    return bytes;
}

// A 4x4 DXT1 file with one header field set (and the height too, or a deep volume's caps).
Bytes Dds(uint32_t Forge::DdsHeader::*field, uint32_t value, uint32_t height = 4,
          bool volume = false) {
    Forge::DdsHeader header =
        Forge::MakeDdsHeader(DdsTest::Compressed(Forge::DdsFormat::DXT1, 4, 4));
    header.height = height;
    header.*field = value;
    if (volume) {
        header.caps |= Forge::kDdsCapsComplex;
        header.caps2 = Forge::kDdsCaps2Volume;
    }
    return Forge::WriteDds(header, Bytes(8));
}

enum class Kind { Mesh, Skin, Animation, Texture };

void Read(Kind kind, const Bytes& bytes) {
    if (kind == Kind::Mesh) {
        TestUtil::Read<Model::Mesh>(bytes);
    } else if (kind == Kind::Skin) {
        TestUtil::Read<Model::Skin>(bytes);
    } else if (kind == Kind::Animation) {
        TestUtil::Read<Model::Skeleton>(bytes);
    } else {
        DdsTest::Parse(bytes);
    }
}

struct Rejection {
    const char* name;
    Kind kind;
    Bytes file;
    const char* message;  // the start of the error's text
};

void PrintTo(const Rejection& row, std::ostream* os) {
    *os << row.name;
}

// A descriptor with one count (or the version) set to a value its bytes can't back.
template <class Desc, class Field>
Desc With(Desc desc, Field Desc::*field, uint32_t value) {
    desc.*field = value;
    return desc;
}

Forge::MeshDesc WithSubMesh(std::optional<uint32_t> Forge::SubMeshDesc::*field, uint32_t value) {
    Forge::MeshDesc mesh = Mesh();
    mesh.subMeshes[0].*field = value;
    return mesh;
}

Bytes Write(const Forge::MeshDesc& d) {
    return Forge::WriteMesh(d);
}
Bytes Write(const Forge::SkinDesc& d) {
    return Forge::WriteSkin(d);
}
Bytes Write(const Forge::AnimationDesc& d) {
    return Forge::WriteAnimation(d);
}

// The rotation key count of bone 0, track 0 of Animation(): after the header block, the
// animation table, the bone's header block, its base transform, the translation key count
// and two 14-byte keys.
constexpr std::size_t kRotationCountAt = 1024 + 260 + 1024 + 40 + 4 + 2 * 14;
// The first parameter's name length: after the skin's and the material's 1024-byte blocks
// and the parameter count.
constexpr std::size_t kParameterNameAt = 1024 + 1024 + 4;

std::vector<Rejection> Rejections() {
    using M = Forge::MeshDesc;
    using S = Forge::SkinDesc;
    using A = Forge::AnimationDesc;
    using Sub = Forge::SubMeshDesc;
    Forge::SkinDesc skin = Skin();
    skin.materials[1].paramCount = 50;
    Forge::DdsDesc cube = DdsTest::Compressed(Forge::DdsFormat::DXT1, 4, 4);
    cube.cubeMap = true;
    const Kind kMesh = Kind::Mesh, kSkin = Kind::Skin, kAni = Kind::Animation, kDds = Kind::Texture;
    return {
        {"MeshHeader", kMesh, Cut(Write(Mesh()), 100), "corrupt .msh file: header needs"},
        {"MeshHeaderBlock", kMesh, Cut(Write(Mesh()), 600), "corrupt .msh file: header block"},
        {"MeshOldVersion", kMesh, Write(Mesh(9)), "unknown .msh file version: 9"},
        {"MeshNewVersion", kMesh, Write(Mesh(14)), "unknown .msh file version: 14"},
        {"MeshBoneCount", kMesh, Write(With(Mesh(), &M::boneCount, 1000000)),
         "corrupt .msh file: bone count 1000000 needs"},
        {"MeshSubMeshCount", kMesh, Write(With(Mesh(), &M::subMeshCount, 100000)),
         "corrupt .msh file: sub-mesh count 100000 needs"},
        {"MeshVertexCount", kMesh, Write(WithSubMesh(&Sub::vertexCount, 0xFFFFFFFF)),
         "corrupt .msh file: sub-mesh 0 needs"},
        {"MeshIndexCount", kMesh, Write(WithSubMesh(&Sub::indexCount, 0x80000000)),
         "corrupt .msh file: sub-mesh 0 needs"},
        {"MeshBoneNameCount", kMesh, Write(WithSubMesh(&Sub::boneNameCount, 1000)),
         "corrupt .msh file: sub-mesh 0 needs"},
        {"SkinHeader", kSkin, Cut(Write(Skin()), 300), "corrupt .skn file: header needs"},
        {"SkinVersion", kSkin, Write(With(Skin(), &S::version, 11)),
         "unknown .skn file version: 11"},
        {"SkinMaterialCount", kSkin, Write(With(Skin(), &S::materialCount, 100000)),
         "corrupt .skn file: material count 100000 needs"},
        {"SkinParameterCount", kSkin, Write(skin), "corrupt .skn file: material 1 parameter 0"},
        {"SkinNameLengthHuge", kSkin, Poke(Write(Skin()), kParameterNameAt, 0xFFFFFFF0),
         "corrupt .skn file: material 0 parameter 0 needs"},
        {"SkinNameLengthLarge", kSkin, Poke(Write(Skin()), kParameterNameAt, 100000),
         "corrupt .skn file: material 0 parameter 0 needs"},
        {"AnimationTooShort", kAni, Cut(Write(Animation()), 100), "not .ani file."},
        {"AnimationHeaderBlock", kAni, Cut(Write(Animation()), 500),
         "corrupt .ani file: header block needs"},
        {"AnimationOldVersion", kAni, Write(Animation(9)), "unknown .ani file version: 9"},
        {"AnimationNewVersion", kAni, Write(Animation(12)), "unknown .ani file version: 12"},
        {"AnimationCount", kAni, Write(With(Animation(), &A::animationCount, 0x10000000)),
         "corrupt .ani file: animation count 268435456 needs"},
        {"AnimationBoneCount", kAni, Write(With(Animation(), &A::boneCount, 1000000)),
         "corrupt .ani file: bone count 1000000 needs"},
        {"AnimationKeyCount", kAni, Poke(Write(Animation()), kRotationCountAt, 0x40000000),
         "corrupt .ani file: bone 0 track 0 needs"},
        {"TextureHeader", kDds, Cut(Dds(&Forge::DdsHeader::width, 4), 127),
         "corrupt .dds file: 127 bytes, shorter than the 128-byte header"},
        {"TextureFourCC", kDds, Dds(&Forge::DdsHeader::fourCC, 0x36545844),
         "unknown texture format."},
        {"TextureNoFourCC", kDds, Dds(&Forge::DdsHeader::fourCC, 0), "unknown texture format."},
        {"TextureCubeMap", kDds, Forge::WriteDds(cube, Bytes(48)), "can't load dds cubemap."},
        {"TextureNoWidth", kDds, Dds(&Forge::DdsHeader::width, 0),
         "corrupt .dds file: width 0 is outside 1 to 16384"},
        {"TextureNoHeight", kDds, Dds(&Forge::DdsHeader::height, 0),
         "corrupt .dds file: height 0 is outside 1 to 16384"},
        {"TextureWide", kDds, Dds(&Forge::DdsHeader::width, 16385),
         "corrupt .dds file: width 16385 is outside"},
        {"TextureTall", kDds, Dds(&Forge::DdsHeader::height, 0xFFFFFFFF),
         "corrupt .dds file: height 4294967295 is outside"},
        {"TextureHuge", kDds, Dds(&Forge::DdsHeader::width, 16384, 16384),
         "corrupt .dds file: 16384x16384x1 pixels decode to"},
        {"TextureOneOverTheLimit", kDds, Dds(&Forge::DdsHeader::width, 8192, 8193),
         "corrupt .dds file: 8192x8193x1 pixels decode to"},
        {"TextureDeepVolume", kDds, Dds(&Forge::DdsHeader::depth, 0xFFFFFFFF, 4, true),
         "corrupt .dds file: 4x4x4294967295 pixels decode to"},
    };
}

class Rejected : public ::testing::TestWithParam<Rejection> {};

TEST_P(Rejected, WithoutSizingAnything) {
    TestUtil::VersionGuard checked(true);
    const Rejection& row = GetParam();
    const Bytes& bytes = row.file;
    AllocationCounter::ResetLargest();
    const std::string error = TestUtil::ErrorOf([&] { Read(row.kind, bytes); });
    EXPECT_LT(AllocationCounter::Largest(), kLargestAllowed + bytes.size());
    EXPECT_EQ(error.rfind(row.message, 0), 0u) << error;
}

INSTANTIATE_TEST_SUITE_P(Readers, Rejected, ::testing::ValuesIn(Rejections()),
                         [](const auto& info) { return std::string(info.param.name); });

struct GoodFile {
    Kind kind;
    Bytes bytes;
    std::size_t readablePrefixes;  // cuts that still read
};

std::vector<GoodFile> GoodFiles() {
    Forge::SkinDesc every = Skin();
    every.materials[0].params = {Forge::ColourParam("g_MaterialAmbient", {0.1f, 0.2f, 0.3f, 1}),
                                 Forge::TextParam("g_DiffuseTex", "a.dds"),
                                 Forge::ScalarParam("g_EmissivePower", 0.5f),
                                 Forge::TextParam("g_DiffuseVolumeTex", "volume.dds")};
    return {
        {Kind::Mesh, Forge::WriteMesh(Mesh(10)), 0},
        // The last sub-mesh may end the file before its bone-name table: one cut reads.
        {Kind::Mesh, Forge::WriteMesh(Mesh(13)), 1},
        {Kind::Skin, Forge::WriteSkin(every), 0},
        {Kind::Animation, Forge::WriteAnimation(Animation(10)), 0},
        {Kind::Animation, Forge::WriteAnimation(Animation(11)), 0},
    };
}

TEST(Truncations, EveryCutOfAGoodFileIsRefused) {
    for (const GoodFile& good : GoodFiles()) {
        EXPECT_NO_THROW(Read(good.kind, good.bytes));
        std::size_t read = 0;
        for (std::size_t cut = 0; cut < good.bytes.size(); ++cut) {
            try {
                Read(good.kind, Cut(good.bytes, cut));
                ++read;
            } catch (const Except&) {
            }
        }
        EXPECT_EQ(read, good.readablePrefixes) << static_cast<int>(good.kind);
    }
}

TEST(VersionSwitch, OffReadsEveryVersion) {
    TestUtil::VersionGuard off(false);
    auto skin = Skin();
    skin.version = 11;
    for (uint32_t version : {7u, 10u, 11u, 12u, 13u, 14u}) {
        const Model::Mesh mesh = TestUtil::Read<Model::Mesh>(Forge::WriteMesh(Mesh(version)));
        EXPECT_EQ(mesh.subMeshes.size(), 2u);
        // Version 10 keeps no skinning; every other one does.
        EXPECT_EQ(mesh.subMeshes[0].boneMap.size(), version == 10 ? 0u : 2u) << version;
    }
    EXPECT_NO_THROW(Read(Kind::Skin, Forge::WriteSkin(skin)));
    // Keys of an unknown layout are not read: a file of version 12 reads when it has none.
    auto keyless = Animation(12);
    for (auto& bone : keyless.bones) {
        for (auto& track : bone.tracks) {
            track = Forge::TrackDesc{};
        }
    }
    EXPECT_NO_THROW(Read(Kind::Animation, Forge::WriteAnimation(keyless)));
}

}  // namespace
