// Loading a model part: a skin with a 50,000-vertex, 4-sub-mesh skinned mesh and four
// 1024×1024 DXT5 textures, in the headless GL context, and where the time goes
// (inflation, parsing, texture upload). Also the animation reader on a large file.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "forge/dds.h"
#include "forge/model.h"
#include "forge/pak.h"
#include "glcontext/glcontext.h"
#include "model/records.h"
#include "texture/texture.h"

namespace {

constexpr std::size_t kVertices = 50000;
constexpr std::size_t kSubMeshes = 4;
constexpr std::size_t kBones = 60;
constexpr uint32_t kTextureSize = 1024;
constexpr std::size_t kTextures = 4;

Forge::SubMeshDesc MakeSubMesh(std::size_t number, std::size_t vertices) {
    Forge::SubMeshDesc sub;
    sub.name = "part" + std::to_string(number);
    std::vector<std::string> names;
    for (std::size_t b = 0; b < kBones; ++b) {
        names.push_back("bone" + std::to_string(b));
    }
    sub.boneNames = names;
    for (std::size_t v = 0; v < vertices; ++v) {
        float t = static_cast<float>(v) * 0.001f;
        sub.positions.push_back({std::sin(t), std::cos(t), t});
        sub.normals.push_back({0, 0, 1});
        sub.texCoords.push_back({t, 1 - t});
        auto bone = static_cast<uint16_t>(v % kBones);
        sub.boneSlots.push_back({bone, static_cast<uint16_t>((bone + 1) % kBones), 0xFFFF, 0xFFFF});
        sub.boneWeights.push_back({0.7f, 0.3f, 0, 0});
    }
    for (std::size_t i = 0; i + 2 < vertices; ++i) {
        for (std::size_t k = 0; k < 3; ++k) {
            sub.indices.push_back(static_cast<uint16_t>((i + k) % 65536));
        }
    }
    return sub;
}

Forge::MeshDesc MakeMesh() {
    Forge::MeshDesc mesh;
    mesh.version = 12;
    for (std::size_t b = 0; b < kBones; ++b) {
        Forge::MeshBoneDesc bone{"bone" + std::to_string(b)};
        bone.matrix[12] = static_cast<float>(b);
        mesh.bones.push_back(bone);
    }
    for (std::size_t s = 0; s < kSubMeshes; ++s) {
        mesh.subMeshes.push_back(MakeSubMesh(s, kVertices / kSubMeshes));
    }
    return mesh;
}

// A smooth picture with some texture to it, as a character's skin map is.
std::vector<uint8_t> MakeTexture(uint32_t seed) {
    std::vector<uint8_t> rgba(std::size_t{kTextureSize} * kTextureSize * 4);
    uint32_t state = seed;
    for (uint32_t y = 0; y < kTextureSize; ++y) {
        for (uint32_t x = 0; x < kTextureSize; ++x) {
            state = state * 1664525u + 1013904223u;
            uint8_t* p = &rgba[(std::size_t{y} * kTextureSize + x) * 4];
            p[0] = static_cast<uint8_t>(x / 4 + (state >> 29));
            p[1] = static_cast<uint8_t>(y / 4);
            p[2] = static_cast<uint8_t>((x + y) / 8 + seed * 40);
            p[3] = static_cast<uint8_t>(255 - (state >> 30));
        }
    }
    Forge::DdsDesc desc{
        .width = kTextureSize, .height = kTextureSize, .format = Forge::DdsFormat::DXT5};
    return Forge::WriteDds(
        desc, Forge::EncodeDxt(Forge::DdsFormat::DXT5, kTextureSize, kTextureSize, rgba));
}

Forge::SkinDesc MakeSkin() {
    Forge::SkinDesc skin;
    skin.meshName = "body.msh";
    for (std::size_t t = 0; t < kTextures; ++t) {
        Forge::MaterialDesc material;
        material.params = {Forge::ColourParam("g_MaterialDiffuse", {1, 1, 1, 1}),
                           Forge::TextParam("g_DiffuseTex", "tex" + std::to_string(t) + ".dds")};
        skin.materials.push_back(material);
    }
    return skin;
}

// One game folder and one GL context for every benchmark of the program.
struct Fixture {
    Fixture() {
        folder = (std::filesystem::temp_directory_path() /
                  ("vell-model-bench-" + std::to_string(::getpid())))
                     .string();
        std::filesystem::create_directories(folder);
        std::vector<Forge::PakFile> files = {
            {.path = "\\chars\\hero\\body.skn", .data = Forge::WriteSkin(MakeSkin())},
            {.path = "\\chars\\hero\\body.msh", .data = Forge::WriteMesh(MakeMesh())},
        };
        for (uint32_t t = 0; t < kTextures; ++t) {
            files.push_back({.path = "\\chars\\hero\\tex" + std::to_string(t) + ".dds",
                             .data = MakeTexture(t)});
        }
        meshBytes = files[1].data;
        skinBytes = files[0].data;
        Forge::SavePak(folder + "/data.pak", files);
        PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
        mgr->Open(folder);
        mgr->BuildTree();
        skinNode = PakMgr::FindPath(*mgr, "chars/hero/body.skn");
        for (std::size_t t = 0; t < kTextures; ++t) {
            textureNodes.push_back(
                PakMgr::FindPath(*mgr, "chars/hero/tex" + std::to_string(t) + ".dds"));
        }
        gl = GlContext::Headless::Create(64, 64, &glError);
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    std::string folder;
    std::vector<uint8_t> meshBytes;
    std::vector<uint8_t> skinBytes;
    PakMgr::ITreeNode* skinNode = nullptr;
    std::vector<PakMgr::ITreeNode*> textureNodes;
    std::unique_ptr<GlContext::Headless> gl;
    std::string glError;
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

void BM_LoadPart(benchmark::State& state) {
    Fixture& f = TheFixture();
    if (!f.gl) {
        state.SkipWithError(("no headless GL context: " + f.glError).c_str());
        return;
    }
    for (auto _ : state) {
        Model::Mesh mesh;
        Model::Skin skin;
        Model::LoadPart(f.skinNode, mesh, skin);
        glFinish();
        benchmark::DoNotOptimize(mesh.subMeshes.data());
    }
}
BENCHMARK(BM_LoadPart)->Unit(benchmark::kMillisecond);

// The share of the archive: inflating the skin, the mesh and the four textures.
void BM_LoadPart_Inflation(benchmark::State& state) {
    Fixture& f = TheFixture();
    PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
    PakMgr::ITreeNode* meshNode = f.skinNode->GetParent()->FindChild("body.msh");
    for (auto _ : state) {
        benchmark::DoNotOptimize(mgr->LoadFile(f.skinNode));
        benchmark::DoNotOptimize(mgr->LoadFile(meshNode));
        for (PakMgr::ITreeNode* node : f.textureNodes) {
            benchmark::DoNotOptimize(mgr->LoadFile(node));
        }
    }
}
BENCHMARK(BM_LoadPart_Inflation)->Unit(benchmark::kMillisecond);

// The share of the readers: the mesh and the skin's names from memory.
void BM_LoadPart_Parsing(benchmark::State& state) {
    Fixture& f = TheFixture();
    for (auto _ : state) {
        Model::Mesh mesh;
        PakMgr::CMemoryRead meshReader(f.meshBytes.data(),
                                       static_cast<uint32_t>(f.meshBytes.size()));
        Model::ReadMesh(mesh, meshReader);
        Model::Skin skin;
        PakMgr::CMemoryRead skinReader(f.skinBytes.data(),
                                       static_cast<uint32_t>(f.skinBytes.size()));
        Model::ReadSkin(skin, skinReader, nullptr);
        benchmark::DoNotOptimize(mesh.subMeshes.data());
    }
}
BENCHMARK(BM_LoadPart_Parsing)->Unit(benchmark::kMillisecond);

// The share of the textures: inflation, parsing and upload of the four DXT5 files.
void BM_LoadPart_Textures(benchmark::State& state) {
    Fixture& f = TheFixture();
    if (!f.gl) {
        state.SkipWithError(("no headless GL context: " + f.glError).c_str());
        return;
    }
    for (auto _ : state) {
        std::vector<std::shared_ptr<Texture::ITexture>> textures;
        for (PakMgr::ITreeNode* node : f.textureNodes) {
            textures.push_back(Texture::LoadTexture(node));
        }
        glFinish();
    }
}
BENCHMARK(BM_LoadPart_Textures)->Unit(benchmark::kMillisecond);

// 80 bones × 20 animations with 60 keys of each kind per track.
std::vector<uint8_t> LargeAnimation(uint32_t version) {
    Forge::AnimationDesc desc;
    desc.version = version;
    for (int a = 0; a < 20; ++a) {
        desc.animationNames.push_back("anim" + std::to_string(a));
        desc.frameCounts.push_back(60);
    }
    Forge::TrackDesc track;
    for (uint32_t k = 0; k < 60; ++k) {
        track.positionKeys.push_back({k, {1, 2, 3}});
        track.rotationKeys.push_back({k, {0, 0.6f, 0, 0.8f}});
        track.scaleKeys.push_back({k, {1, 1, 1}});
    }
    for (int b = 0; b < 80; ++b) {
        desc.bones.push_back({"bone" + std::to_string(b), b ? "bone" + std::to_string(b - 1) : "",
                              std::vector<Forge::TrackDesc>(20, track)});
    }
    return Forge::WriteAnimation(desc);
}

void BM_ReadAnimation(benchmark::State& state) {
    std::vector<uint8_t> bytes = LargeAnimation(static_cast<uint32_t>(state.range(0)));
    for (auto _ : state) {
        Model::Skeleton skeleton;
        PakMgr::CMemoryRead reader(bytes.data(), static_cast<uint32_t>(bytes.size()));
        Model::ReadAnimation(reader, skeleton);
        benchmark::DoNotOptimize(skeleton.bones.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadAnimation)->Arg(10)->Arg(11)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
