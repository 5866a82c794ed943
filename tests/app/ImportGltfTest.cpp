// A skin's 导入glTF...: the glTF chosen, the files it changes written into the folder chosen
// and listed with the limits applied, then 打包补丁 with them; once packed the game is
// opened again and shows the edited model.
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "AppTestUtil.h"
#include "CommandTable.h"
#include "GlbFile.h"
#include "PackDlg.h"
#include "export/gltf.h"
#include "model/object.h"
#include "view/view.h"

namespace {

using namespace AppTest;
namespace Cmd = App::Cmd;
namespace fs = std::filesystem;

constexpr float kRaise = 0.1f;  // metres: 10 game units

class ImportGltfTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        Forge::SavePak(game / "data.pak", SceneFiles::FilesOf(SceneFiles::Scene{}));
        OpenThroughMenu(game.Path());
    }

    // The glTF the export writes of the character, every vertex raised.
    std::string RaisedGlb() {
        PakMgr::ITreeNode* skin = PakMgr::FindPath(*PakMgr::GetPakMgr(), SceneFiles::kSkinArg);
        std::unique_ptr<Model::IVellModel> model = Model::CreateModel();
        model->Load(skin);
        const std::string path = work / "hero.glb";
        Export::ExportGltf(*model, path, {skin});
        TestUtil::Glb glb = TestUtil::Glb::Parse(TestUtil::ReadBytes(path));
        for (auto& p : glb.json["meshes"][0]["primitives"]) {
            const int positions = p["attributes"]["POSITION"];
            float* xyz = glb.At<float>(positions);
            for (std::size_t i = 0; i < glb.Count(positions); ++i) {
                xyz[3 * i + 1] += kRaise;
            }
        }
        Forge::SaveBytes(path, glb.Bytes());
        return path;
    }

    float FirstHeight() {
        auto* model = dynamic_cast<Model::CVellModel*>(View::GetModel());
        if (!model || model->Meshes()[Model::kWholeModel].subMeshes.empty()) {
            return -1e9f;
        }
        return model->Meshes()[Model::kWholeModel].subMeshes[0].positions[0][1];
    }

    TestUtil::TempDir game;
    TestUtil::TempDir work;
};

TEST_F(ImportGltfTest, WritesTheChangesPacksThemAndShowsTheEditedModel) {
    Choose(U(SceneFiles::kSkinArg), Cmd::kRenderSkin);
    const float before = FirstHeight();
    answers.openFiles.push_back(QString::fromStdString(RaisedGlb()));
    answers.folders.push_back(QString::fromStdString(work / "mod"));
    Choose(U(SceneFiles::kSkinArg), Cmd::kImportGltf);

    // The list of what changed, with the offer to pack it.
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_EQ(answers.messages[0].buttons, App::MsgButtons::YesNo);
    EXPECT_TRUE(answers.messages[0].text.contains(U("chars/hero/hero.msh")))
        << answers.messages[0].text.toStdString();
    EXPECT_FALSE(answers.messages[0].text.contains(U("hero.skn")));
    EXPECT_TRUE(fs::is_regular_file(work / "mod/chars/hero/hero.msh"));

    auto* dialog = Opened<App::CPackDlg>(frame.get());
    ASSERT_NE(dialog, nullptr);
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("packName"));
    auto* pack = dialog->findChild<QPushButton*>(QStringLiteral("packButton"));
    ASSERT_TRUE(name && pack);
    name->setFocus();
    QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(name, "000mod");
    ASSERT_TRUE(pack->isEnabled());
    QTest::mouseClick(pack, Qt::LeftButton);

    // The game opened again with the mod, the model shown from it.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return fs::exists(game / "000mod.pak") && FirstHeight() > -1e8f; }));
    EXPECT_NEAR(FirstHeight(), before + 10, 1e-3);
}

TEST_F(ImportGltfTest, AnUneditedGltfChangesNothing) {
    PakMgr::ITreeNode* skin = PakMgr::FindPath(*PakMgr::GetPakMgr(), SceneFiles::kSkinArg);
    std::unique_ptr<Model::IVellModel> model = Model::CreateModel();
    model->Load(skin);
    const std::string path = work / "same.glb";
    Export::ExportGltf(*model, path, {skin});
    answers.openFiles.push_back(QString::fromStdString(path));
    const std::size_t picked = answers.folderStarts.size();
    Choose(U(SceneFiles::kSkinArg), Cmd::kImportGltf);
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_TRUE(answers.messages[0].text.contains(U("没有改变")));
    EXPECT_EQ(answers.folderStarts.size(), picked);  // no folder asked for
}

}  // namespace
