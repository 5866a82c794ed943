// The window says where it is: its title names the open game folder, the status bar what
// 打开 opened, and a model of the game before is put away when another opens.
#include <QDir>

#include "AboutDlg.h"
#include "AnimationBar.h"
#include "AppTestUtil.h"
#include "StatusLine.h"
#include "model/model.h"
#include "view/view.h"

namespace {

using namespace AppTest;

class GameWindowTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        // Two archives, one path in both: the tree counts it once.
        Forge::SavePak(first / "data.pak", Character("\\chars\\hero", {{-50, -50, 50, 50}}));
        Forge::SavePak(first / "patch.pak",
                       {TextFile("\\docs\\readme.txt", "a"),
                        TextFile("\\chars\\hero\\hero.dds", "not read: data.pak wins")});
        Forge::SavePak(second / "data.pak", {TextFile("\\docs\\other.txt", "b")});
    }

    static QString Native(const TestUtil::TempDir& dir) {
        return QDir::toNativeSeparators(QString::fromStdString(dir.Path()));
    }

    TestUtil::TempDir first;
    TestUtil::TempDir second;
};

TEST_F(GameWindowTest, TitleNamesTheOpenFolderInEitherLanguage) {
    const QString program = App::ProductTitle();
    EXPECT_EQ(frame->windowTitle(), program);
    OpenThroughMenu(first.Path());
    EXPECT_EQ(frame->windowTitle(), Native(first) + " - " + program);
    OpenThroughMenu(second.Path());
    EXPECT_EQ(frame->windowTitle(), Native(second) + " - " + program);
    ChooseLanguage(App::Language::English);
    EXPECT_EQ(frame->windowTitle(), Native(second) + " - " + App::ProductTitle());
    EXPECT_TRUE(App::ProductTitle().startsWith("Vell Model Browser"));
    // The about box names the program, not the folder.
    EXPECT_TRUE(frame->MakeAboutDlg()->TitleText().startsWith(App::ProductTitle() + "\n\n"));
}

TEST_F(GameWindowTest, StatusBarCountsTheArchivesAndFilesOpened) {
    OpenThroughMenu(first.Path());
    const std::size_t files = Character("\\chars\\hero", {{-50, -50, 50, 50}}).size() + 1;
    EXPECT_EQ(frame->Status().Text(), U("已打开 2 个档案, %1 个文件").arg(files));
    OpenThroughMenu(second.Path());
    EXPECT_EQ(frame->Status().Text(), U("已打开 1 个档案, 1 个文件"));
    ChooseLanguage(App::Language::English);
    OpenThroughMenu(second.Path());
    EXPECT_EQ(frame->Status().Text(), U("Opened 1 archive, 1 file"));
}

// The hero of the first game, animated, is gone once the second opens: nothing drawn, no
// animation offered, the counts gone from the status bar.
TEST_F(GameWindowTest, AnotherGamePutsTheModelAway) {
    OpenThroughMenu(first.Path());
    DoubleClick("chars/hero/hero.skn");
    DoubleClick("chars/hero/hero.ani");
    ASSERT_FALSE(View::GetModel()->IsEmpty());
    ASSERT_EQ(frame->AnimationList()->count(), 2);
    OpenThroughMenu(second.Path());
    EXPECT_TRUE(View::GetModel()->IsEmpty());
    EXPECT_EQ(frame->AnimationList()->count(), 1);
    EXPECT_EQ(View::GetModel()->GetState().vertices, 0u);
    frame->Status().EndMessage();
    EXPECT_EQ(frame->Status().Text(), U("准备"));
}

}  // namespace
