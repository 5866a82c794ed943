// Writes the seed corpora of the fuzz targets, every file made by the project's writers:
//   fuzz_seeds OUT_DIR  ->  OUT_DIR/<target>/<seed>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzUtil.h"
#include "export/gltf.h"
#include "forge/dds.h"
#include "forge/model.h"
#include "forge/pak.h"
#include "forge/scene.h"
#include "model/model.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Forge's small character: two sub-meshes (the second a strip when asked), skinned to two
// bones unless `bones` is false; the last sub-mesh ends the file without its bone names.
Forge::MeshDesc MeshOf(uint32_t version, bool bones, bool strip) {
    const SceneFiles::Scene scene{
        .patches = {SceneFiles::Patch{}, SceneFiles::Patch{.strip = strip}},
        .skinned = bones,
        .blended = bones};
    Forge::MeshDesc mesh = SceneFiles::MeshOf(scene);
    mesh.version = version;
    if (Forge::IsSkinned(mesh)) {
        mesh.subMeshes.back().boneNames.reset();
    }
    return mesh;
}

Forge::SkinDesc SkinOf(const std::string& meshName, const std::string& texture) {
    Forge::MaterialDesc body;
    body.params = {Forge::ColourParam("g_MaterialAmbient", {0.1f, 0.2f, 0.3f, 1}),
                   Forge::ColourParam("g_MaterialDiffuse", {1, 1, 1, 1}),
                   Forge::TextParam("g_DiffuseTex", texture),
                   Forge::ScalarParam("g_EmissivePower", 0.5f),
                   Forge::TextParam("g_DiffuseVolumeTex", "volume.dds")};
    Forge::MaterialDesc cape;
    cape.params = {Forge::TextParam("g_MaskTex", "mask.dds"),
                   Forge::ColourParam("g_SkinColor", {0.5f, 0.4f, 0.3f, 1}),
                   Forge::ScalarParam("g_AniTime", 2)};
    return {.name = "hero", .meshName = meshName, .materials = {body, cape}};
}

Forge::AnimationDesc AnimationOf(uint32_t version) {
    Forge::AnimationDesc animation{.name = "hero", .version = version};
    animation.animationNames = {"walk", "wave"};
    animation.frameCounts = {4, 2};
    Forge::TrackDesc moving;
    moving.positionKeys = {{0, {0, 0, 0}}, {3, {1, 0, 0}}};
    moving.rotationKeys = {{0, {0, 0, 0, 1}}, {3, {0, 0.7071f, 0, 0.7071f}}};
    moving.scaleKeys = {{0, {1, 1, 1}}};
    const Forge::TrackDesc still{.basePosition = {0, 1, 0}};
    animation.bones = {{"root", "", {moving, still}}, {"child", "root", {still, moving}}};
    return animation;
}

Bytes Words(const Forge::DdsDesc& desc, const std::vector<uint32_t>& words) {
    return Forge::WriteDds(desc, Forge::PackPixelWords(words, desc.bitCount));
}

Bytes DdsFile(Forge::DdsFormat format, uint32_t side, uint32_t mips = 0) {
    const Forge::DdsDesc desc{.width = side, .height = side, .format = format, .mipMapCount = mips};
    std::vector<uint8_t> rgba(std::size_t{side} * side * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        rgba[i] = static_cast<uint8_t>(i * 37);
    }
    if (format == Forge::DdsFormat::Uncompressed) {
        std::vector<uint32_t> words(std::size_t{side} * side);
        for (std::size_t i = 0; i < words.size(); ++i) {
            words[i] = 0xFF000000u | static_cast<uint32_t>(i * 0x10305);
        }
        return Words(desc, words);
    }
    return Forge::WriteDds(desc, Forge::EncodeDxt(format, side, side, rgba));
}

Bytes Pak() {
    std::vector<Forge::PakFile> files = {
        Fuzz::File("\\chars\\hero\\hero.txt", Forge::Bytes("hello")),
        Fuzz::File("\\chars\\hero\\parts\\hair.txt", Forge::Bytes("hair hair hair hair")),
        Fuzz::File("\\maps\\x.txt", Forge::Bytes("x")),
    };
    files[1].inflatedSize = 0;  // unknown: inflated by growing
    return Forge::WritePak(files);
}

Bytes PakTableFirst() {
    std::vector<Forge::PakFile> files = {
        Fuzz::File("\\a\\b.txt", Forge::Bytes("abc")),
        Fuzz::File("\\a\\b.txt", Forge::Bytes("second copy")),
    };
    Forge::PakLayout layout;
    layout.table = Forge::PakLayout::Table::AfterHeader;
    return Forge::WritePak(files, layout);
}

Bytes Control(uint8_t animation, float speed) {
    Bytes control = {animation, 0, 3, 1};
    const auto* frame = reinterpret_cast<const uint8_t*>(&speed);
    const float half = 1.5f;
    const auto* h = reinterpret_cast<const uint8_t*>(&half);
    control.insert(control.end(), h, h + sizeof half);
    control.insert(control.end(), frame, frame + sizeof speed);
    return control;
}

void Save(const std::filesystem::path& folder, const std::string& name, const Bytes& bytes) {
    std::filesystem::create_directories(folder);
    Forge::SaveBytes((folder / name).string(), bytes);
}

Bytes FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The glTF the export writes of the fuzzer's character, with or without its animation,
// behind the byte that says it is a .glb.
Bytes ExportedScene(bool animated) {
    const std::string path = Fuzz::FreshFolder("seed") + "/scene.glb";
    Fuzz::OpenGame(SceneFiles::FilesOf(SceneFiles::Scene{.blended = true}));
    PakMgr::IPakMgr& mgr = *PakMgr::GetPakMgr();
    std::unique_ptr<Model::IVellModel> model = Model::CreateModel();
    PakMgr::ITreeNode* skin = PakMgr::FindPath(mgr, SceneFiles::kSkinArg);
    model->Load(skin);
    if (animated) {
        model->LoadAnimation(PakMgr::FindPath(mgr, SceneFiles::kAnimationArg));
    }
    Export::ExportGltf(*model, path, {skin}, {.imageThreads = 1});
    Bytes bytes = {0};
    const Bytes glb = FileBytes(path);
    bytes.insert(bytes.end(), glb.begin(), glb.end());
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUT_DIR\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];

    Save(out / "import", "scene-bind-pose", ExportedScene(false));
    Save(out / "import", "scene-walk", ExportedScene(true));
    Save(out / "pak", "three-files", Pak());
    Save(out / "pak", "table-first", PakTableFirst());

    const Bytes mesh11 = Forge::WriteMesh(MeshOf(11, true, true));
    Save(out / "mesh", "v11-skinned", mesh11);
    Save(out / "mesh", "v10-bones", Forge::WriteMesh(MeshOf(10, true, false)));
    Save(out / "mesh", "v13-static-strip", Forge::WriteMesh(MeshOf(13, false, true)));
    Save(out / "mesh", "v12-skinned", Forge::WriteMesh(MeshOf(12, true, false)));

    const Bytes anim11 = Forge::WriteAnimation(AnimationOf(11));
    Save(out / "anim", "v11", anim11);
    Save(out / "anim", "v10", Forge::WriteAnimation(AnimationOf(10)));

    const Bytes dxt1 = DdsFile(Forge::DdsFormat::DXT1, 4);
    Save(out / "dds", "dxt1", dxt1);
    Save(out / "dds", "dxt5-mips", DdsFile(Forge::DdsFormat::DXT5, 8, 4));
    Save(out / "dds", "argb", DdsFile(Forge::DdsFormat::Uncompressed, 4));
    Save(out / "dds", "rgb565",
         Words({.width = 4,
                .height = 2,
                .bitCount = 16,
                .masks = {0xF800, 0x07E0, 0x001F, 0},
                .alpha = false},
               {0xF800, 0x07E0, 0x001F, 0xFFFF, 0, 0x1234, 0x8410, 0x7BEF}));
    Save(out / "dds", "volume",
         Words({.width = 2, .height = 2, .depth = 2, .volume = true},
               std::vector<uint32_t>(8, 0x80FF8040)));

    const Bytes skin = Forge::WriteSkin(SkinOf("HERO.MSH", "Hero.dds"));
    Save(out / "skin", "hero", Fuzz::JoinParts({skin, mesh11, dxt1}));
    Save(out / "skin", "hero-argb",
         Fuzz::JoinParts({skin, Forge::WriteMesh(MeshOf(13, false, false)),
                          DdsFile(Forge::DdsFormat::Uncompressed, 4)}));

    Save(out / "model", "hero-walk", Fuzz::JoinParts({skin, mesh11, dxt1, anim11, Control(1, 60)}));
    Save(out / "model", "hero-wave-v10",
         Fuzz::JoinParts({skin, Forge::WriteMesh(MeshOf(12, true, false)), dxt1,
                          Forge::WriteAnimation(AnimationOf(10)), Control(2, 120)}));

    return 0;
}
