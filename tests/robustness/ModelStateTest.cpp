// A load that fails part-way (after the skin and its textures, in the mesh, in a texture,
// in an archive stream, in an animation) leaves the model exactly as it was shown before, and
// ten thousand of them leave nothing behind: in the sanitizer build LeakSanitizer checks at
// exit; elsewhere the heap in use is compared.
#include <malloc.h>

#include "GameFolder.h"
#include "GlTest.h"
#include "forge/scene.h"

namespace {

using TestUtil::AnimationsOf;
using TestUtil::ErrorOf;
using TestUtil::FilesIn;
using TestUtil::Game;
using TestUtil::SubMeshesOf;

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

std::vector<uint8_t> Skin(const std::string& mesh, const std::string& texture) {
    Forge::MaterialDesc material;
    material.params = {Forge::TextParam("g_DiffuseTex", texture)};
    return Forge::WriteSkin(
        {.name = "broken", .meshName = mesh, .materials = {material, material}});
}

// The writers' character, plus broken files beside it and body parts below "parts".
std::vector<Forge::PakFile> Files() {
    SceneFiles::Scene scene;
    scene.patches = {SceneFiles::Patch{}, SceneFiles::Patch{.z = 10}};
    std::vector<Forge::PakFile> files = SceneFiles::FilesOf(scene);
    const std::vector<uint8_t> mesh = Forge::WriteMesh(SceneFiles::MeshOf(scene));
    const std::vector<uint8_t> animation = Forge::WriteAnimation(SceneFiles::AnimationOf(scene));
    const Forge::DdsDesc cube{.width = 4, .height = 4, .cubeMap = true};
    Forge::PakFile badStream{"\\chars\\hero\\bad.skn", Forge::Bytes("never inflated")};
    badStream.stream = Forge::Bytes("not a zlib stream at all");
    // clang-format off
    files.insert(files.end(), {
        {"\\chars\\hero\\cut.msh", Cut(mesh, mesh.size() - 100)},
        {"\\chars\\hero\\cube.dds", Forge::WriteDds(cube, std::vector<uint8_t>(6 * 4 * 4 * 4))},
        {"\\chars\\hero\\meshcut.skn", Skin("cut.msh", "hero.dds")},
        {"\\chars\\hero\\cubetex.skn", Skin("hero.msh", "cube.dds")},
        {"\\chars\\hero\\cut.ani", Cut(animation, animation.size() - 10)},
        badStream,
        {"\\chars\\hero\\parts\\hero.msh", mesh},
        {"\\chars\\hero\\parts\\cut.msh", Cut(mesh, mesh.size() - 100)},
        {"\\chars\\hero\\parts\\hero.dds", SceneFiles::TextureOf(scene)},
        {"\\chars\\hero\\parts\\body.skn", Skin("hero.msh", "hero.dds")},
        {"\\chars\\hero\\parts\\hair.skn", Skin("cut.msh", "hero.dds")}});
    // clang-format on
    return files;
}

// What the model shows, as far as the shell can see it: the parts menu, the animation
// list, the box and the OBJ files of the current pose.
struct Shown {
    std::vector<std::string> subMeshes;
    std::vector<std::string> animations;
    std::vector<float> box;
    std::vector<std::vector<uint8_t>> objFiles;

    bool operator==(const Shown&) const = default;
};

class FailedLoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(RenderTest::SharedGl(), nullptr);
        m_model->Load(Node(SceneFiles::kSkinArg));
        m_model->LoadAnimation(Node(SceneFiles::kAnimationArg));
        m_model->PlayAnimation(1);
        m_model->PoseAt(4);
    }

    PakMgr::ITreeNode* Node(const std::string& path) { return m_game.Node(path); }

    Shown Show() {
        Shown shown{SubMeshesOf(*m_model), AnimationsOf(*m_model), std::vector<float>(6), {}};
        m_model->GetBoundingBox(shown.box.data(), shown.box.data() + 3);
        TestUtil::TempDir out;
        m_model->ExportObj("state", Node(SceneFiles::kSkinArg), out.Path());
        for (const std::string& name : FilesIn(out.Path())) {
            shown.objFiles.push_back(TestUtil::ReadBytes(out / name));
        }
        return shown;
    }

    Game m_game{Files()};
    std::unique_ptr<Model::IVellModel> m_model = Model::CreateModel();
};

struct BrokenLoad {
    const char* name;
    const char* path;
    bool animation;
    const char* message;  // the start of the error's text
};

void PrintTo(const BrokenLoad& row, std::ostream* os) {
    *os << row.name;
}

// clang-format off
const BrokenLoad kBrokenLoads[] = {
    {"MeshCutShortAfterTheSkinAndTexturesLoaded", "chars/hero/meshcut.skn", false, "corrupt .msh file: "},
    {"TextureRejectedInTheMiddleOfTheSkin", "chars/hero/cubetex.skn", false, "can't load dds cubemap."},
    {"SkinThatDoesNotInflate", "chars/hero/bad.skn", false, "can't read .skn file"},
    {"AnimationCutShort", "chars/hero/cut.ani", true, "corrupt .ani file: "},
};
// clang-format on

constexpr int kLoads = 10000;
constexpr int kWarmUp = 100;
// Room for allocator bookkeeping; a leak of even one small block per load is far larger.
constexpr std::size_t kHeapSlack = 64 * 1024;

class BrokenLoads : public FailedLoad, public ::testing::WithParamInterface<BrokenLoad> {
protected:
    void Load() {
        const BrokenLoad& row = GetParam();
        if (row.animation) {
            m_model->LoadAnimation(Node(row.path));
        } else {
            m_model->Load(Node(row.path));
        }
    }
};

TEST_P(BrokenLoads, LeaveTheModelAsItWasAndNothingBehind) {
    const Shown before = Show();
    ASSERT_EQ(before.subMeshes, (std::vector<std::string>{"patch0", "patch1"}));
    const std::string error = ErrorOf([&] { Load(); });
    EXPECT_EQ(error.rfind(GetParam().message, 0), 0u) << error;
    EXPECT_EQ(Show(), before);
    m_model->PoseAt(7);  // playback goes on with the skeleton it had
    EXPECT_EQ(AnimationsOf(*m_model), std::vector<std::string>{"walk"});

    // The heap in use after the warm-up loads (0 when the allocator doesn't report it, as
    // under AddressSanitizer) grows by no block per load.
    int succeeded = 0;
    std::size_t heapBefore = 0;
    for (int i = 0; i < kLoads; ++i) {
        if (i == kWarmUp) {
            heapBefore = mallinfo2().uordblks;
        }
        try {
            Load();
            ++succeeded;
        } catch (const Except&) {
        }
    }
    const std::size_t heapAfter = mallinfo2().uordblks;
    EXPECT_EQ(succeeded, 0);
    EXPECT_LE(heapAfter > heapBefore ? heapAfter - heapBefore : 0, kHeapSlack);
}

INSTANTIATE_TEST_SUITE_P(Broken, BrokenLoads, ::testing::ValuesIn(kBrokenLoads),
                         [](const auto& info) { return std::string(info.param.name); });

// A body part cut short keeps the other parts; the next good load replaces the model.
TEST_F(FailedLoad, BodyPartCutShortKeepsTheOtherPartsTheNextModelReplacesThem) {
    ASSERT_TRUE(m_model->Load(Node("chars/hero/parts/body.skn")));
    const Shown before = Show();
    ASSERT_EQ(before.subMeshes, (std::vector<std::string>{"patch0", "patch1"}));
    const std::string error = ErrorOf([&] { m_model->Load(Node("chars/hero/parts/hair.skn")); });
    EXPECT_EQ(error.rfind("corrupt .msh file: ", 0), 0u) << error;
    EXPECT_EQ(Show(), before);
    EXPECT_FALSE(m_model->Load(Node(SceneFiles::kSkinArg)));
    EXPECT_EQ(SubMeshesOf(*m_model), (std::vector<std::string>{"patch0", "patch1"}));
    EXPECT_EQ(AnimationsOf(*m_model), std::vector<std::string>{});
}

}  // namespace
