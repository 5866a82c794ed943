// The inspection aids driven through the real window: the timeline's keys, buttons and
// slider, the light and the ground grid. Every aid starts off and leaves the plain picture
// byte for byte as it was.
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QTreeWidget>
#include <cstring>

#include "AnimationBar.h"
#include "AppTestUtil.h"
#include "InfoPanel.h"
#include "StatusLine.h"
#include "TexturePreview.h"
#include "Timeline.h"

namespace {

using namespace AppTest;
namespace Cmd = App::Cmd;

class ViewAidsTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        WriteGame(game.Path(), Character("\\chars\\hero", patches));
        OpenThroughMenu(game.Path());
        ChooseQuietly("chars/hero/hero.skn", Cmd::kRenderSkin);
    }

    void PlayWalk() {
        ChooseQuietly("chars/hero/hero.ani", Cmd::kApplyAnimate);
        ASSERT_TRUE(frame->Timeline()->isVisible());
    }

    Model::ModelState State() { return View::GetModel()->GetState(); }

    // A key pressed on the focused view.
    void ViewKey(Qt::Key key) {
        frame->View()->setFocus();
        QTest::keyClick(frame->View(), key);
    }

    QImage Drawn() {
        frame->View()->Redraw();
        frame->View()->OnTimer();
        return frame->View()->Picture();
    }

    std::vector<SceneFiles::Patch> patches = {{-50, -50, 50, 50}};
    TestUtil::TempDir game;
};

// Where the slider's handle stands for `value`.
QPoint HandleAt(QSlider* slider, int value) {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->value();
    option.sliderValue = slider->value();
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                         QStyle::SC_SliderHandle, slider);
    const QRect groove = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                         QStyle::SC_SliderGroove, slider);
    const int span = groove.width() - handle.width();
    const int x =
        groove.x() + handle.width() / 2 +
        QStyle::sliderPositionFromValue(slider->minimum(), slider->maximum(), value, span);
    return {x, handle.center().y()};
}

TEST_F(ViewAidsTest, TimelinePausesStepsAndScrubsWithKeysButtonsAndSlider) {
    App::CTimeline* timeline = frame->Timeline();
    EXPECT_FALSE(timeline->isVisible());  // no animation chosen yet
    const QSize viewSize = frame->View()->size();
    PlayWalk();
    // The strip lies over the view: the frame export's picture size stays.
    EXPECT_EQ(frame->View()->size(), viewSize);
    EXPECT_EQ(timeline->geometry().bottom(), frame->View()->height() - 1);
    EXPECT_EQ(timeline->Slider()->maximum(), 9);

    ViewKey(Qt::Key_Space);
    ASSERT_TRUE(State().paused);
    const int held = State().frame;
    QTest::qWait(100);
    EXPECT_EQ(State().frame, held);
    EXPECT_EQ(frame->Bar()->Slider()->value(), 60);  // the speed is not touched
    EXPECT_EQ(frame->Status().Text(), QStringLiteral("walk %1/9").arg(held));

    struct StepRow {
        Qt::Key key;
        int presses;
        int frame;
    };
    const StepRow steps[] = {
        {Qt::Key_Period, 1, (held + 1) % 10},
        {Qt::Key_Comma, 3, (held + 8) % 10},  // back past the first frame wraps to the last
        {Qt::Key_Period, 2, held},
    };
    for (const StepRow& row : steps) {
        for (int i = 0; i < row.presses; ++i) {
            ViewKey(row.key);
        }
        EXPECT_EQ(State().frame, row.frame) << row.key;
        EXPECT_EQ(frame->Status().Text(), QStringLiteral("walk %1/9").arg(row.frame));
        EXPECT_EQ(timeline->FrameLabel()->text(), QStringLiteral("%1 / 9").arg(row.frame));
        EXPECT_EQ(timeline->Slider()->value(), row.frame);
    }

    // The buttons do what the keys do.
    QTest::mouseClick(timeline->ForwardButton(), Qt::LeftButton);
    EXPECT_EQ(State().frame, (held + 1) % 10);
    QTest::mouseClick(timeline->BackButton(), Qt::LeftButton);
    EXPECT_EQ(State().frame, held);

    // Dragging the handle from the first frame to the last shows every frame it passes.
    QSlider* slider = timeline->Slider();
    ViewKey(Qt::Key_Home);  // a view key still turns the camera while paused
    for (int i = 0; i < 10 && State().frame != 0; ++i) {
        ViewKey(Qt::Key_Period);
    }
    ASSERT_EQ(State().frame, 0);
    const int pictures = frame->View()->Pictures();
    Mouse(slider, QEvent::MouseButtonPress, HandleAt(slider, 0), Qt::LeftButton);
    std::vector<int> shown;
    for (int value = 1; value <= 9; ++value) {
        Mouse(slider, QEvent::MouseMove, HandleAt(slider, value), Qt::LeftButton);
        shown.push_back(State().frame);
    }
    Mouse(slider, QEvent::MouseButtonRelease, HandleAt(slider, 9), Qt::NoButton);
    EXPECT_EQ(shown, std::vector<int>({1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_GE(frame->View()->Pictures() - pictures, 9);
    EXPECT_EQ(frame->Status().Text(), "walk 9/9");

    // Playing resumes from the held frame.
    QTest::mouseClick(timeline->PlayButton(), Qt::LeftButton);
    EXPECT_FALSE(State().paused);
    EXPECT_TRUE(QTest::qWaitFor([&] { return State().frame != 9; }));
    ViewKey(Qt::Key_Space);
    EXPECT_TRUE(State().paused);
    ViewKey(Qt::Key_Space);
    EXPECT_FALSE(State().paused);

    // Back to the bind pose: the strip goes, and the keys go back to the window.
    PickAnimation(0);
    EXPECT_FALSE(timeline->isVisible());
    ViewKey(Qt::Key_Period);
    EXPECT_EQ(State().frame, -1);
}

// The play button shows one pause icon while frames go by and one play icon while paused:
// an icon made afresh for every frame shown leaves its pixmaps in Qt's cache (the soak grew
// by some 5 KB a load).
TEST_F(ViewAidsTest, TimelineKeepsItsIconsAcrossFrames) {
    PlayWalk();
    QToolButton* play = frame->Timeline()->PlayButton();
    const qint64 pause = play->icon().cacheKey();
    const int first = State().frame;
    ASSERT_TRUE(QTest::qWaitFor([&] { return State().frame != first; }));
    const int second = State().frame;
    ASSERT_TRUE(QTest::qWaitFor([&] { return State().frame != second; }));
    EXPECT_EQ(play->icon().cacheKey(), pause);
    ViewKey(Qt::Key_Space);
    const qint64 resume = play->icon().cacheKey();
    EXPECT_NE(resume, pause);
    ViewKey(Qt::Key_Period);
    ViewKey(Qt::Key_Period);
    EXPECT_EQ(play->icon().cacheKey(), resume);
    ViewKey(Qt::Key_Space);
    EXPECT_EQ(play->icon().cacheKey(), pause);
}

// The texture's orange (200, 100, 50) as drawn unlit, and as lit by a light 60 degrees off
// the face's normal: ambient 0.35 + diffuse 0.75 × cos 60°.
bool Unlit(QColor c) {
    return c.red() > 190 && c.green() > 90 && c.green() < 110 && c.blue() < 60;
}
bool LitAt60(QColor c) {
    return c.red() > 135 && c.red() < 155 && c.green() > 62 && c.green() < 82 && c.blue() < 45;
}

// The rows of the picture where it differs from `plain`: first and last, or -1, -1.
std::pair<int, int> ChangedRows(const QImage& plain, const QImage& picture) {
    int first = -1;
    int last = -1;
    for (int y = 0; y < plain.height(); ++y) {
        if (std::memcmp(plain.constScanLine(y), picture.constScanLine(y),
                        static_cast<std::size_t>(plain.bytesPerLine())) != 0) {
            first = first < 0 ? y : first;
            last = y;
        }
    }
    return {first, last};
}

TEST_F(ViewAidsTest, LightAndGridChangeThePictureWhereTheyShouldAndOnlyWhileOn) {
    App::CVellModelBrowserRenderView* view = frame->View();
    struct AidRow {
        uint16_t command;
        const char* text;
        int turns;  // Up presses first, 2 degrees each about the horizontal axis
    };
    const AidRow aids[] = {{Cmd::kLighting, "光照", 30}, {Cmd::kGroundGrid, "地面网格", 0}};
    for (const AidRow& row : aids) {
        view->setFocus();
        QTest::keyClick(view, Qt::Key_F);
        for (int i = 0; i < row.turns; ++i) {
            QTest::keyClick(view, Qt::Key_Up);
        }
        const QImage plain = Drawn();
        ASSERT_GT(Count(plain, Unlit), 100);
        QAction* action = frame->Action(row.command);
        EXPECT_FALSE(action->isChecked()) << row.text;
        ClickMenuItem(row.command);
        EXPECT_TRUE(action->isChecked()) << row.text;
        const QImage on = Drawn();
        EXPECT_NE(on, plain) << row.text;
        if (row.command == Cmd::kLighting) {
            // Turned 60 degrees from the light, the face gets ambient plus half the diffuse.
            EXPECT_EQ(Count(on, Unlit), 0);
            EXPECT_EQ(Count(on, LitAt60), Count(plain, Unlit));
        } else {
            // The ground lies below the eye, and the model stays as drawn.
            const auto [first, last] = ChangedRows(plain, on);
            EXPECT_GT(first, plain.height() / 2);
            EXPECT_EQ(Count(on, Unlit), Count(plain, Unlit));
        }
        ClickMenuItem(row.command);
        EXPECT_FALSE(action->isChecked());
        EXPECT_EQ(Drawn(), plain) << row.text;
    }
}

TEST_F(ViewAidsTest, BonesOnTopShowTheSkeletonAndAClickSelectsTheJointUnderThePointer) {
    PlayWalk();
    ViewKey(Qt::Key_Space);  // held, so the joints stay where they were drawn
    App::CVellModelBrowserRenderView* view = frame->View();
    const QImage plain = Drawn();
    ClickMenuItem(Cmd::kBonesOnTop);
    ASSERT_TRUE(frame->Action(Cmd::kBonesOnTop)->isChecked());
    const QImage onTop = Drawn();
    EXPECT_NE(onTop, plain);

    // The child's joint; the root's is drawn at the same place in this scene, and the later
    // bone, drawn over it, wins.
    float x = 0;
    float y = 0;
    ASSERT_TRUE(view->Core().JointOnScreen(1, x, y));
    const QPoint child(qRound(x), qRound(y));
    // A drag turns the model and selects nothing.
    QTest::mousePress(view, Qt::LeftButton, {}, child);
    Mouse(view, QEvent::MouseMove, child + QPoint(20, 0), Qt::LeftButton);
    QTest::mouseRelease(view, Qt::LeftButton, {}, child + QPoint(20, 0));
    EXPECT_EQ(Model::selectedBone, -1);
    QTest::keyClick(view, Qt::Key_F);
    Drawn();

    struct ClickRow {
        QPoint at;
        int selected;
        QString status;
    };
    const ClickRow clicks[] = {
        {child + QPoint(3, -2), 1, U("骨骼 child(1), 父骨骼 root(0)")},
        {QPoint(2, 2), -1, frame->Status().Text()},
    };
    for (const ClickRow& row : clicks) {
        QTest::mouseClick(view, Qt::LeftButton, {}, row.at);
        EXPECT_EQ(Model::selectedBone, row.selected);
        EXPECT_EQ(frame->Status().Text(), row.status);
        // Beside the joint's centre, where the axes drawn after the model don't reach.
        const QColor atJoint = Drawn().pixelColor(child + QPoint(3, 3));
        EXPECT_EQ(atJoint == QColor(Qt::yellow), row.selected == 1) << atJoint.name().toStdString();
    }
    ClickMenuItem(Cmd::kBonesOnTop);
    EXPECT_EQ(Drawn(), plain);
}

// `vell info`'s values for a file of the game, by key.
std::map<std::string, QString> VellInfo(const std::string& game, const std::string& path) {
    const TestUtil::RunResult run = TestUtil::Run(VELL_CLI_BINARY, {"info", game, path});
    EXPECT_EQ(run.exitCode, 0) << path << ": " << run.err;
    std::map<std::string, QString> values;
    for (const QString& line : QString::fromStdString(run.out).split('\n')) {
        values[line.section(QStringLiteral(" = "), 0, 0).toStdString()] =
            line.section(QStringLiteral(" = "), 1);
    }
    return values;
}

// Every item below `item`, depth first.
std::vector<QTreeWidgetItem*> Below(QTreeWidgetItem* item) {
    std::vector<QTreeWidgetItem*> items;
    for (int i = 0; i < item->childCount(); ++i) {
        items.push_back(item->child(i));
        for (QTreeWidgetItem* below : Below(item->child(i))) {
            items.push_back(below);
        }
    }
    return items;
}

// Two sub-meshes, the walk chosen.
class InfoPanelTest : public ViewAidsTest {
protected:
    InfoPanelTest() { patches.push_back({60, -50, 100, 50}); }
    void SetUp() override {
        ViewAidsTest::SetUp();
        PlayWalk();
    }
};

TEST_F(InfoPanelTest, CountsAgreeWithVellInfoAndTheSwitchesAreTheViewsOwn) {
    App::CInfoPanel* panel = frame->InfoPanel();
    EXPECT_FALSE(panel->isVisible());
    ClickMenuItem(Cmd::kModelInfo);
    ASSERT_TRUE(panel->isVisible());
    EXPECT_TRUE(frame->Action(Cmd::kModelInfo)->isChecked());

    // Pieces and sub-meshes, as the mesh file has them.
    QTreeWidgetItem* pieces = panel->Section(0);
    ASSERT_EQ(pieces->childCount(), 1);
    QTreeWidgetItem* hero = pieces->child(0);
    EXPECT_EQ(hero->text(1), "hero.msh");
    auto mesh = VellInfo(game.Path(), "\\chars\\hero\\" + hero->text(1).toStdString());
    ASSERT_EQ(QString::number(hero->childCount()), mesh["sub_meshes"]);
    for (int s = 0; s < hero->childCount(); ++s) {
        const std::string key = "sub_mesh[" + std::to_string(s) + "]";
        EXPECT_EQ(hero->child(s)->text(0), mesh[key + ".name"]);
        EXPECT_EQ(hero->child(s)->text(1), U("%1 顶点, %2 三角形")
                                               .arg(mesh[key + ".vertices"])
                                               .arg(mesh[key + ".indices"].toInt() / 3));
    }
    // Bones and animations, as the animation file has them.
    auto ani = VellInfo(game.Path(), "\\chars\\hero\\hero.ani");
    EXPECT_EQ(QString::number(Below(panel->Section(2)).size()), ani["bones"]);
    ASSERT_EQ(panel->Section(2)->childCount(), 1);  // the child hangs below the root
    EXPECT_EQ(panel->Section(2)->child(0)->child(0)->text(0), ani["bone[1]"]);
    ASSERT_EQ(panel->Section(3)->childCount(), 1);
    EXPECT_EQ(panel->Section(3)->child(0)->text(1),
              U("最后一帧 %1").arg(ani["animation[0].frames"].toInt() - 1));
    EXPECT_TRUE(panel->Section(1)->child(0)->text(1).startsWith(U("4 × 4")))
        << panel->Section(1)->child(0)->text(1).toStdString();
    EXPECT_EQ(panel->Section(4)->child(1)->text(1).section(' ', 0, 0).toFloat() * 100,
              panel->Section(4)->child(0)->text(1).section(' ', 0, 0).toFloat());

    // A sub-mesh's check box is the parts menu's switch.
    QTreeWidget* tree = panel->Tree();
    tree->setFocus();
    tree->setCurrentItem(hero->child(1));
    QTest::keyClick(tree->viewport(), Qt::Key_Space);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !frame->Bar()->PartsMenu()->actions()[1]->isChecked(); }));
    EXPECT_EQ(panel->Section(0)->child(0)->child(1)->checkState(0), Qt::Unchecked);
    ClickPartsButton();
    EXPECT_EQ(panel->Section(0)->child(0)->child(1)->checkState(0), Qt::Checked);

    // A bone clicked in the panel is the view's selection.
    QTreeWidgetItem* child = panel->Section(2)->child(0)->child(0);
    tree->scrollToItem(child);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(child).center());
    EXPECT_EQ(Model::selectedBone, 1);
    EXPECT_EQ(frame->Status().Text(), U("骨骼 child(1), 父骨骼 root(0)"));

    // A texture activated (Enter, or a double-click) opens its preview.
    QTreeWidgetItem* texture = panel->Section(1)->child(0);
    tree->scrollToItem(texture);
    tree->setCurrentItem(texture);
    QTest::keyClick(tree, Qt::Key_Return);
    auto* preview = Opened<App::CTexturePreview>(panel);
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->windowTitle().startsWith(texture->text(0)));
    delete preview;

    // Remembered like the tool bar.
    frame->close();
    auto second = std::make_unique<App::CVellModelBrowserMainFrame>();
    ASSERT_TRUE(second->Create());
    EXPECT_TRUE(second->Action(Cmd::kModelInfo)->isChecked());
    EXPECT_FALSE(second->InfoPanel()->isHidden());
}

}  // namespace
