// 转换为FBX文件: beside 转换为glTF文件 once a model is shown, only while Blender is found, and
// the file Blender writes of the model.
#include <QMenu>
#include <cstdlib>

#include "AppTestUtil.h"
#include "CommandTable.h"
#include "TreePane.h"
#include "export/fbx.h"

namespace {

using namespace AppTest;
namespace Cmd = App::Cmd;

// The start of every binary FBX file.
constexpr char kFbxMagic[] = "Kaydara FBX Binary";

class FbxCommandTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        WriteGame(game.Path(), Character("\\chars\\hero", {{-50, -50, 50, 50}}));
    }

    // Whether the item's context menu shows the command, enabled.
    bool Offers(const QString& path, uint16_t command) {
        Select(path);
        const auto menu = frame->Pane()->BuildPopup(frame->Tree()->currentIndex());
        QAction* action = frame->Action(command);
        return menu && menu->actions().contains(action) && action->isVisible() &&
               action->isEnabled();
    }

    TestUtil::TempDir game;
    TestUtil::TempDir out;
};

// PATH as a test sets it, and back as it was after.
class ScopedPath {
public:
    explicit ScopedPath(const std::string& path) : m_was(std::getenv("PATH")) {
        setenv("PATH", path.c_str(), 1);
    }
    ~ScopedPath() { setenv("PATH", m_was.c_str(), 1); }

private:
    std::string m_was;
};

TEST_F(FbxCommandTest, OfferedWithBlenderOnlyAndWritesTheModelShown) {
    if (Export::FindBlender().empty()) {
        GTEST_SKIP() << "no Blender on PATH (scripts/setup --tests installs it)";
    }
    OpenThroughMenu(game.Path());
    EXPECT_FALSE(Offers("chars/hero/hero.skn", Cmd::kConvertToFbx));  // no model shown yet
    ChooseQuietly("chars/hero/hero.skn", Cmd::kRenderSkin);
    EXPECT_TRUE(Offers("chars/hero/hero.skn", Cmd::kConvertToFbx));
    {
        const ScopedPath noBlender(out.Path());
        EXPECT_FALSE(Offers("chars/hero/hero.skn", Cmd::kConvertToFbx));
        EXPECT_TRUE(Offers("chars/hero/hero.skn", Cmd::kConvertToGltf));
    }

    answers.saveFiles.push_back(QString::fromStdString(out / "hero.fbx"));
    Choose("chars/hero/hero.skn", Cmd::kConvertToFbx);
    ASSERT_EQ(answers.Last(1), U("已转换为FBX文件 ."));
    EXPECT_EQ(TestUtil::ReadText(out / "hero.fbx").substr(0, sizeof kFbxMagic - 1), kFbxMagic);
    // The save dialog proposed the skin's name.
    ASSERT_FALSE(answers.saveStarts.empty());
    EXPECT_TRUE(answers.saveStarts.back().endsWith("hero.fbx"));

    // A file that can't be written says why, and leaves nothing.
    answers.saveFiles.push_back(QString::fromStdString(out / "no-such-folder/hero.fbx"));
    Choose("chars/hero/hero.skn", Cmd::kConvertToFbx);
    ASSERT_EQ(answers.messages.size(), 2u);
    EXPECT_TRUE(answers.messages[1].text.startsWith("can't write "))
        << answers.messages[1].text.toStdString();
    EXPECT_FALSE(std::filesystem::exists(out / "no-such-folder"));
}

}  // namespace
