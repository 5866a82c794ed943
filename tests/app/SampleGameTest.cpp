// The sample game of the project's writers in the real window: the hero, one of its parts
// and its walk, as a user would load them, and a picture of the result.
#include <QComboBox>
#include <QImage>
#include <QMenu>

#include "AnimationBar.h"
#include "AppTestUtil.h"
#include "CommandTable.h"
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

}  // namespace
