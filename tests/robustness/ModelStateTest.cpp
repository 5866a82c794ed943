// A load that fails part-way (after the skin and its textures, in the mesh, in a texture,
// in an animation) leaves the model exactly as it was shown before.
#include "RobustnessUtil.h"

namespace {

using Robustness::AnimationsOf;
using Robustness::ErrorOf;
using Robustness::FilesIn;
using Robustness::Game;
using Robustness::SubMeshesOf;

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

Forge::SkinDesc SkinNaming(const std::string& mesh, const std::string& texture) {
    Forge::SkinDesc skin;
    skin.name = "broken";
    skin.meshName = mesh;
    Forge::MaterialDesc material;
    material.params = {Forge::TextParam("g_DiffuseTex", texture)};
    skin.materials = {material, material};
    return skin;
}

std::vector<uint8_t> CubeMap() {
    Forge::DdsDesc desc;
    desc.width = 4;
    desc.height = 4;
    desc.cubeMap = true;
    return Forge::WriteDds(desc, std::vector<uint8_t>(6 * 4 * 4 * 4));
}

// The writers' character, plus broken files beside it and body parts below "parts".
std::vector<Forge::PakFile> Files() {
    SceneFiles::Scene scene;
    scene.patches = {SceneFiles::Patch{}, SceneFiles::Patch{.z = 10}};
    std::vector<Forge::PakFile> files = SceneFiles::FilesOf(scene);
    const std::vector<uint8_t> mesh = Forge::WriteMesh(SceneFiles::MeshOf(scene));
    const std::vector<uint8_t> animation = Forge::WriteAnimation(SceneFiles::AnimationOf(scene));
    files.push_back({"\\chars\\hero\\cut.msh", Cut(mesh, mesh.size() - 100)});
    files.push_back({"\\chars\\hero\\cube.dds", CubeMap()});
    files.push_back(
        {"\\chars\\hero\\meshcut.skn", Forge::WriteSkin(SkinNaming("cut.msh", "hero.dds"))});
    files.push_back(
        {"\\chars\\hero\\cubetex.skn", Forge::WriteSkin(SkinNaming("hero.msh", "cube.dds"))});
    files.push_back({"\\chars\\hero\\cut.ani", Cut(animation, animation.size() - 10)});
    files.push_back({"\\chars\\hero\\parts\\hero.msh", mesh});
    files.push_back({"\\chars\\hero\\parts\\cut.msh", Cut(mesh, mesh.size() - 100)});
    files.push_back({"\\chars\\hero\\parts\\hero.dds", SceneFiles::TextureOf(scene)});
    files.push_back(
        {"\\chars\\hero\\parts\\body.skn", Forge::WriteSkin(SkinNaming("hero.msh", "hero.dds"))});
    files.push_back(
        {"\\chars\\hero\\parts\\hair.skn", Forge::WriteSkin(SkinNaming("cut.msh", "hero.dds"))});
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
        ASSERT_NE(Robustness::Gl(), nullptr);
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
            shown.objFiles.push_back(Robustness::ReadBytes(out / name));
        }
        return shown;
    }

    Game m_game{Files()};
    std::unique_ptr<Model::IVellModel> m_model = Model::CreateModel();
};

TEST_F(FailedLoad, MeshCutShortAfterTheSkinAndTexturesLoaded) {
    const Shown before = Show();
    ASSERT_EQ(before.subMeshes, (std::vector<std::string>{"patch0", "patch1"}));
    const std::string error = ErrorOf([&] { m_model->Load(Node("chars/hero/meshcut.skn")); });
    EXPECT_EQ(error.rfind("corrupt .msh file: ", 0), 0u) << error;
    EXPECT_EQ(Show(), before);
}

TEST_F(FailedLoad, TextureRejectedInTheMiddleOfTheSkin) {
    const Shown before = Show();
    EXPECT_EQ(ErrorOf([&] { m_model->Load(Node("chars/hero/cubetex.skn")); }),
              "can't load dds cubemap.");
    EXPECT_EQ(Show(), before);
}

TEST_F(FailedLoad, AnimationCutShort) {
    const Shown before = Show();
    const std::string error = ErrorOf([&] { m_model->LoadAnimation(Node("chars/hero/cut.ani")); });
    EXPECT_EQ(error.rfind("corrupt .ani file: ", 0), 0u) << error;
    EXPECT_EQ(Show(), before);
    m_model->PoseAt(7);  // playback goes on with the skeleton it had
    EXPECT_EQ(AnimationsOf(*m_model), std::vector<std::string>{"walk"});
}

TEST_F(FailedLoad, BodyPartCutShortKeepsTheOtherParts) {
    ASSERT_TRUE(m_model->Load(Node("chars/hero/parts/body.skn")));
    const Shown before = Show();
    ASSERT_EQ(before.subMeshes, (std::vector<std::string>{"patch0", "patch1"}));
    EXPECT_EQ(ErrorOf([&] {
                  m_model->Load(Node("chars/hero/parts/hair.skn"));
              }).rfind("corrupt .msh file: ", 0),
              0u);
    EXPECT_EQ(Show(), before);
}

TEST_F(FailedLoad, TheNextGoodLoadReplacesTheModel) {
    ErrorOf([&] { m_model->Load(Node("chars/hero/meshcut.skn")); });
    EXPECT_TRUE(m_model->Load(Node("chars/hero/parts/body.skn")));
    EXPECT_EQ(SubMeshesOf(*m_model), (std::vector<std::string>{"patch0", "patch1"}));
    EXPECT_FALSE(m_model->Load(Node(SceneFiles::kSkinArg)));
    EXPECT_EQ(AnimationsOf(*m_model), std::vector<std::string>{});
}

}  // namespace
