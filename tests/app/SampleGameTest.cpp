// The sample game of the project's writers in the real window: the hero, one of its parts
// and its walk, as a user would load them, and a picture of the result.
#include <QComboBox>
#include <QImage>
#include <QMenu>
#include <QSet>
#include <QTreeWidget>

#include "AnimationBar.h"
#include "AppTestUtil.h"
#include "CommandTable.h"
#include "InfoPanel.h"
#include "SampleGameFolder.h"
#include "forge/sample.h"
#include "model/model.h"
#include "view/view.h"

namespace {

using namespace AppTest;
namespace Cmd = App::Cmd;
namespace Sample = Forge::Sample;

QString TreePath(const char* archivePath) {
    return QString::fromLatin1(archivePath + 1).replace('\\', '/');
}

TEST_F(FrameTest, SampleHeroWalks) {
    OpenThroughMenu(TestUtil::SampleGameFolder());
    ASSERT_TRUE(answers.messages.empty());

    ChooseQuietly(TreePath(Sample::kHeroSkin), Cmd::kRenderSkin);
    EXPECT_EQ(frame->Bar()->PartsMenu()->actions().size(),
              static_cast<int>(Sample::kHeroSubMeshes));

    ChooseQuietly(TreePath(Sample::kHeroAnimation), Cmd::kApplyAnimate);
    QComboBox* list = frame->AnimationList();
    ASSERT_EQ(list->count(), 1 + static_cast<int>(Sample::kAnimationNames.size()));
    EXPECT_EQ(list->itemText(2), "walk");
    PickAnimation(2);
    EXPECT_EQ(list->currentIndex(), 2);
    EXPECT_EQ(View::GetModel()->GetFrameCount(2), Sample::kFrameCounts[1]);

    for (int tick = 0; tick < 20; ++tick) {
        frame->View()->OnTimer();
    }
    const QImage shot = frame->grab().toImage();
    shot.save(QStringLiteral(VELL_TEST_OUTPUT "/app_sample_hero.png"));
    const QImage view = frame->View()->grabFramebuffer();
    // The hero stands in the middle of the view: its pixels differ from the background.
    const QRect middle(view.width() * 2 / 5, view.height() / 4, view.width() / 5,
                       view.height() / 2);
    EXPECT_GT(Count(
                  view.copy(middle), [](QColor c) { return c != QColor(0x33, 0x33, 0xB2); }, 2),
              200);
}

// The info panel opened from the menu on the hero alone: its size is the posed vertices'
// extent (as an export of the pose measures it, not the mesh header's far larger box), its
// bones are the mesh's, flat, as many as the status bar counts, and each texture is listed
// once; the walk then gives the skeleton's tree.
TEST_F(FrameTest, InfoPanelMeasuresTheHeroAndListsItsMeshBonesBeforeAnAnimation) {
    OpenThroughMenu(TestUtil::SampleGameFolder());
    ChooseQuietly(TreePath(Sample::kHeroSkin), Cmd::kRenderSkin);
    ClickMenuItem(Cmd::kModelInfo);
    App::CInfoPanel* panel = frame->InfoPanel();
    ASSERT_TRUE(panel->isVisible());

    QTreeWidgetItem* size = panel->Section(4);
    ASSERT_EQ(size->childCount(), 2);
    EXPECT_EQ(size->child(0)->text(1), U("49.8 × 181.8 × 32.1 单位"));
    EXPECT_EQ(size->child(1)->text(1), U("0.50 × 1.82 × 0.32 米"));

    QTreeWidgetItem* bones = panel->Section(2);
    EXPECT_EQ(static_cast<unsigned>(bones->childCount()), View::GetModel()->GetState().bones);
    EXPECT_GT(bones->childCount(), 1);
    for (int i = 0; i < bones->childCount(); ++i) {
        EXPECT_EQ(bones->child(i)->childCount(), 0) << bones->child(i)->text(0).toStdString();
    }

    QTreeWidgetItem* textures = panel->Section(1);
    QSet<QString> names;
    for (int i = 0; i < textures->childCount(); ++i) {
        names.insert(textures->child(i)->text(0));
    }
    EXPECT_GT(names.size(), 1);
    EXPECT_EQ(names.size(), textures->childCount());

    // The skeleton's bones come with their parents: fewer at the top than in all.
    ChooseQuietly(TreePath(Sample::kHeroAnimation), Cmd::kApplyAnimate);
    EXPECT_LT(bones->childCount(), static_cast<int>(View::GetModel()->GetState().bones));
}

}  // namespace
