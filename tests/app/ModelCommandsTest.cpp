// Loading a model, a part and an animation through the real commands; the animation list,
// the speed slider, the parts menu and button, the status bar, closing and the frame export.
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QSlider>
#include <QTreeWidget>
#include <functional>

#include "AnimationBar.h"
#include "AppTestUtil.h"
#include "CommandTable.h"
#include "InfoPanel.h"
#include "Settings.h"
#include "StatusLine.h"
#include "TreePane.h"
#include "model/model.h"
#include "view/view.h"

namespace {

using namespace AppTest;
namespace Cmd = App::Cmd;

std::vector<Forge::PakFile> GameFiles() {
    std::vector<Forge::PakFile> files =
        Character("\\chars\\hero", {{-50, -50, 50, 50}, {60, -50, 100, 50}});
    // One body part, with its mesh and texture beside it.
    std::vector<Forge::PakFile> part =
        Character("\\chars\\hero\\parts", {{-50, -50, 50, 50}}, "hero_body.skn");
    files.insert(files.end(), part.begin(), part.begin() + 3);
    // A second part on the same mesh: the same bone again.
    files.push_back(Character("\\chars\\hero\\parts", {{-50, -50, 50, 50}}, "hero_hair.skn")[0]);
    files.push_back(TextFile("\\chars\\bad\\bad.skn", "this is no skin"));
    files.push_back(TextFile("\\chars\\bad\\bad.ani", "this is no animation"));
    return files;
}

std::size_t CountFiles(const std::string& folder, const std::string& extension) {
    const std::vector<std::string> names = TestUtil::FilesIn(folder);
    return std::count_if(names.begin(), names.end(),
                         [&](const std::string& name) { return name.ends_with(extension); });
}

class ModelCommandsTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        WriteGame(game.Path(), GameFiles());
        OpenThroughMenu(game.Path());
    }

    void LoadHero() { ChooseQuietly("chars/hero/hero.skn", Cmd::kRenderSkin); }

    // The parts menu's items, " +" after a checked one.
    QStringList Parts() {
        QStringList items;
        for (QAction* a : frame->Bar()->PartsMenu()->actions()) {
            items << a->text() + (a->isChecked() ? " +" : "");
        }
        return items;
    }

    std::size_t ObjFilesWritten() {
        TestUtil::TempDir dir;
        Choose("chars/hero/hero.skn", Cmd::kConvertToObj, dir.Path());
        return CountFiles(dir.Path(), ".obj");
    }

    // Clicks item `index` of the parts menu, opened below its button.
    void ClickPart(int index) {
        QMenu* menu = frame->Bar()->PartsMenu();
        App::CPartsButton* button = frame->Bar()->PartsButton();
        menu->popup(button->mapToGlobal(QPoint(0, button->height())));
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }));
        QTest::mouseClick(menu, Qt::LeftButton, {},
                          menu->actionGeometry(menu->actions()[index]).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible(); }));
    }

    // Drags the speed slider's handle from the middle, where 60 puts it, to `x` and lets go.
    void DragSpeedFromMiddleTo(int x) {
        QSlider* slider = frame->Bar()->Slider();
        ASSERT_EQ(slider->value(), 60);
        const QPoint handle(slider->width() / 2, slider->height() / 2);
        QTest::mousePress(slider, Qt::LeftButton, {}, handle);
        QTest::mouseMove(slider, QPoint(x, handle.y()));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(x, handle.y()));
    }

    // Model pixels (the texture's orange) in a picture, every second one of every second
    // row; the background is blue.
    static int Orange(const QImage& picture) {
        return Count(
            picture,
            [](QColor c) {
                return c.red() > 150 && c.green() > 60 && c.green() < 140 && c.blue() < 90;
            },
            2);
    }

    TestUtil::TempDir game;
};

TEST_F(ModelCommandsTest, WholeModelThenPartThenAnimation) {
    auto& core = frame->View()->Core();
    const std::size_t textures = frame->View()->TextureNames();
    core.m_nRotY = 40;
    core.m_clrBackground = 0x123456;
    // No context current: the load makes the view's current for its textures.
    frame->View()->doneCurrent();
    LoadHero();
    EXPECT_FALSE(View::GetModel()->IsEmpty());
    EXPECT_EQ(frame->Status().Text(), U("hero.skn: 8 顶点, 4 三角形, 1 骨骼"));
    frame->View()->OnTimer();
    EXPECT_GT(Orange(frame->View()->Picture()), 100);
    EXPECT_EQ(Parts(), QStringList({"patch0 +", "patch1 +"}));
    EXPECT_EQ(frame->Bar()->PartsMenu()->actions()[1]->data().toUInt(), 1001u);
    // A whole model resets the view.
    EXPECT_EQ(core.m_nRotY, 0);
    EXPECT_EQ(core.m_clrBackground, 0x3333B2u);

    // A part keeps the list and the view, and the menu lists every slot again.
    ClickPart(0);
    EXPECT_EQ(Parts(), QStringList({"patch0", "patch1 +"}));
    core.m_nRotY = 10;
    ChooseQuietly("chars/hero/parts/hero_body.skn", Cmd::kRenderSkin);
    EXPECT_EQ(core.m_nRotY, 10);
    EXPECT_EQ(Parts(), QStringList({"patch0 +"}));

    ChooseQuietly("chars/hero/hero.ani", Cmd::kApplyAnimate);
    QComboBox* list = frame->AnimationList();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(0), U("默认   "));
    EXPECT_EQ(list->itemText(1), "walk");
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_EQ(frame->Bar()->Slider()->value(), 60);
    // While it plays the status bar follows the frame; pictures at most one per frame.
    App::CVellModelBrowserRenderView* view = frame->View();
    const int before = view->Pictures();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const QString text = frame->Status().Text();
        return text.startsWith("walk ") && text.endsWith("/9") && !text.contains(" 0/");
    })) << frame->Status().Text().toStdString();
    EXPECT_LE(view->Pictures() - before, View::GetModel()->GetState().frame + 2);
    EXPECT_EQ(core.m_nRotY, 0);
    EXPECT_EQ(View::GetModel()->GetFrameCount(1), 10u);

    // Another whole model resets the list to its first entry.
    LoadHero();
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(list->currentIndex(), 0);

    // 关闭 releases what is shown, its GL textures at the next picture; the tree stays.
    Choose("chars/hero/hero.ani", Cmd::kApplyAnimate);
    frame->View()->Redraw();
    frame->View()->OnTimer();
    EXPECT_GT(frame->View()->TextureNames(), textures);
    frame->View()->setFocus();
    Press("Ctrl+X");
    EXPECT_TRUE(View::GetModel()->IsEmpty());
    EXPECT_EQ(list->count(), 1);
    EXPECT_TRUE(Parts().isEmpty());
    EXPECT_EQ(frame->Status().Text(), U("准备"));
    EXPECT_TRUE(Find("chars/hero/hero.skn").isValid());
    frame->View()->OnTimer();
    EXPECT_EQ(Orange(frame->View()->Picture()), 0);
    EXPECT_EQ(frame->View()->TextureNames(), textures);
}

// The language chosen while a model is shown: the status line, the animation list, the tree
// pane and the messages change at once; files written stay as they were.
TEST_F(ModelCommandsTest, LanguageSwitchRetranslatesWhatIsShown) {
    struct Row {
        App::Language language;
        const char* status;
        const char* defaultAnimation;
        const char* pane;
        const char* converted;
        const char* panel;  // the information panel's title, first section, a sub-mesh
        const char* section;
        const char* subMesh;
    };
    const Row rows[] = {
        {App::Language::English, "hero.skn: 8 vertices, 4 triangles, 1 bone", "Default   ",
         "Files ", "Converted to OBJ files.", "Model Info", "Parts", "4 vertices, 2 triangles"},
        {App::Language::Chinese, "hero.skn: 8 顶点, 4 三角形, 1 骨骼", "默认   ", "文件列表 ",
         "已转换为工程文件 .", "模型信息", "零件", "4 顶点, 2 三角形"},
    };
    LoadHero();
    ClickMenuItem(Cmd::kModelInfo);
    App::CInfoPanel* panel = frame->InfoPanel();
    ASSERT_TRUE(panel->isVisible());
    for (const Row& row : rows) {
        ChooseLanguage(row.language);
        EXPECT_EQ(frame->Status().Text(), U(row.status));
        EXPECT_EQ(panel->windowTitle(), U(row.panel));
        EXPECT_EQ(panel->Section(0)->text(0), U(row.section));
        ASSERT_GT(panel->Section(0)->childCount(), 0);
        EXPECT_EQ(panel->Section(0)->child(0)->child(0)->text(1), U(row.subMesh));
        EXPECT_EQ(frame->AnimationList()->itemText(0), U(row.defaultAnimation));
        EXPECT_EQ(frame->Pane()->findChild<QLabel*>()->text(), U(row.pane));
    }
    for (const Row& row : rows) {
        ChooseLanguage(row.language);
        TestUtil::TempDir dir;
        answers.messages.clear();
        Choose("chars/hero/hero.skn", Cmd::kConvertToObj, dir.Path());
        EXPECT_EQ(answers.Last(1), U(row.converted));
        EXPECT_NE(TestUtil::ReadText(dir / "patch0_00.obj").find("Vell 模型浏览器v1.0a"),
                  std::string::npos);
    }
}

// Every command that resets the view shows the axes again with their check mark, and
// leaves the speed slider where the user put it.
TEST_F(ModelCommandsTest, ViewResetsSetTheAxesMarkAndLeaveTheSpeed) {
    struct Row {
        const char* command;
        std::function<void()> run;
    };
    const Row rows[] = {
        {"whole model", [&] { LoadHero(); }},
        {"关闭",
         [&] {
             frame->View()->setFocus();
             Press("Ctrl+X");
         }},
    };
    const auto& core = frame->View()->Core();
    QAction* axes = frame->Action(Cmd::kShowAxes);
    QSlider* slider = frame->Bar()->Slider();
    LoadHero();
    Choose("chars/hero/hero.ani", Cmd::kApplyAnimate);
    DragSpeedFromMiddleTo(slider->width() / 4);
    const int speed = slider->value();
    ASSERT_NE(speed, 60);
    for (const Row& row : rows) {
        Press("Alt+C");
        ASSERT_FALSE(core.m_bShowAxes);
        ASSERT_FALSE(axes->isChecked());
        row.run();
        EXPECT_TRUE(core.m_bShowAxes) << row.command;
        EXPECT_TRUE(axes->isChecked()) << row.command;
        EXPECT_EQ(slider->value(), speed) << row.command;
    }
    // Mark and axes in step: one press turns both off.
    Press("Alt+C");
    EXPECT_FALSE(core.m_bShowAxes);
    EXPECT_FALSE(axes->isChecked());
}

// The status pane: the counts of what is shown (bones once by name before an animation, the
// skeleton's after), the frame of an animation playing or held at speed 0, and a message
// that stays up until the next change.
TEST_F(ModelCommandsTest, StatusPaneFollowsOneRule) {
    const auto status = [&] { return frame->Status().Text(); };
    Model::IVellModel* model = View::GetModel();
    App::CVellModelBrowserRenderView* view = frame->View();
    Choose("chars/hero/parts/hero_body.skn", Cmd::kRenderSkin);
    EXPECT_EQ(status(), U("hero_body.skn: 4 顶点, 2 三角形, 1 骨骼"));
    Choose("chars/hero/parts/hero_hair.skn", Cmd::kRenderSkin);
    EXPECT_EQ(status(), U("hero_hair.skn: 8 顶点, 4 三角形, 1 骨骼"));

    Choose("chars/hero/hero.ani", Cmd::kApplyAnimate);
    const QRegularExpression frameText(QStringLiteral("^walk (\\d)/9$"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frameText.match(status()).hasMatch(); }))
        << status().toStdString();

    // A message stays while frames go by.
    TestUtil::TempDir out;
    const QString shot = QString::fromStdString(out / "shot.png");
    answers.saveFiles.push_back(shot);
    AcceptNextDialog();
    Press("Ctrl+Shift+S");
    EXPECT_EQ(status(), shot);
    for (int shown = 0; shown < 2; ++shown) {
        const int before = view->Core().ShownFrame();
        ASSERT_TRUE(QTest::qWaitFor([&] { return view->Core().ShownFrame() != before; }));
    }
    EXPECT_EQ(status(), shot);

    // The speed set to 0 is a change: the held frame shows, and stays.
    DragSpeedFromMiddleTo(0);
    ASSERT_EQ(frame->Bar()->Slider()->value(), 0);
    const QString held = status();
    EXPECT_EQ(held, QStringLiteral("walk %1/9").arg(model->GetState().frame));
    QTest::qWait(100);
    EXPECT_EQ(status(), held);

    // The bind pose: the counts, with the skeleton's bones.
    PickAnimation(0);
    EXPECT_EQ(status(), U("hero_hair.skn: 8 顶点, 4 三角形, 2 骨骼"));
}

TEST_F(ModelCommandsTest, LoadFailuresShowTheirMessage) {
    Choose("chars/bad/bad.skn", Cmd::kRenderSkin);
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_FALSE(answers.messages[0].text.isEmpty());
    EXPECT_TRUE(answers.messages[0].caption.isEmpty());
    EXPECT_EQ(answers.messages[0].icon, App::MsgIcon::Information);
    EXPECT_TRUE(frame->Bar()->PartsMenu()->actions().isEmpty());

    Choose("chars/bad/bad.ani", Cmd::kApplyAnimate);
    ASSERT_EQ(answers.messages.size(), 2u);
    EXPECT_FALSE(answers.messages[1].text.isEmpty());
    EXPECT_EQ(frame->AnimationList()->count(), 1);
}

TEST_F(ModelCommandsTest, SpeedReachesTheModelOnReleaseOnly) {
    LoadHero();
    Choose("chars/hero/hero.ani", Cmd::kApplyAnimate);
    QSlider* slider = frame->Bar()->Slider();
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(slider->value(), 120);
    EXPECT_EQ(View::GetModel()->GetFrameCount(1), 10u);  // still 60 frames per second

    QTest::keyClick(slider, Qt::Key_Home);
    slider->setValue(60);
    DragSpeedFromMiddleTo(slider->width() - 1);
    EXPECT_GT(slider->value(), 60);
    // Above 60 frames per second the export skips frames.
    EXPECT_LT(View::GetModel()->GetFrameCount(1), 10u);

    // A click on the groove moves the handle by a page and counts on release too.
    const unsigned fast = View::GetModel()->GetFrameCount(1);
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(4, slider->height() / 2));
    EXPECT_LT(slider->value(), 120);
    EXPECT_GT(View::GetModel()->GetFrameCount(1), fast);

    // Choosing an entry, the one shown too, restarts at 60.
    ASSERT_EQ(frame->AnimationList()->currentIndex(), 1);
    PickAnimation(1);
    EXPECT_EQ(slider->value(), 60);
}

TEST_F(ModelCommandsTest, PartsButtonShowsAllOrWithCtrlHidesAll) {
    LoadHero();
    EXPECT_EQ(ObjFilesWritten(), 2u);
    ClickPartsButton(Qt::ControlModifier);
    EXPECT_EQ(Parts(), QStringList({"patch0", "patch1"}));
    EXPECT_EQ(ObjFilesWritten(), 0u);
    ClickPartsButton();
    EXPECT_EQ(Parts(), QStringList({"patch0 +", "patch1 +"}));
    EXPECT_EQ(ObjFilesWritten(), 2u);

    // A part item toggles its own sub-mesh.
    ClickPart(1);
    EXPECT_EQ(Parts(), QStringList({"patch0 +", "patch1"}));
    EXPECT_EQ(ObjFilesWritten(), 1u);
    ClickPart(1);
    EXPECT_EQ(Parts(), QStringList({"patch0 +", "patch1 +"}));
}

TEST_F(ModelCommandsTest, FrameExportWritesEveryFrame) {
    LoadHero();
    Choose("chars/hero/hero.ani", Cmd::kApplyAnimate);
    TestUtil::TempDir out;
    // Cancel at the question: nothing is asked further.
    answers.messageAnswers.push_back(App::MsgAnswer::Cancel);
    Choose("chars/hero/hero.ani", Cmd::kExportAnimate);
    ASSERT_EQ(answers.Last(1), "10 pictures.");
    EXPECT_EQ(answers.messages[0].buttons, App::MsgButtons::OkCancel);
    EXPECT_EQ(answers.folderStarts.size(), 1u);  // the game folder only

    answers.folders.push_back(QString::fromStdString(out.Path()));
    Choose("chars/hero/hero.ani", Cmd::kExportAnimate);
    ASSERT_EQ(answers.Last(3), "export animate ok.");
    EXPECT_EQ(CountFiles(out.Path(), ".bmp"), 10u);
    // The pictures hold the model, read from the view's own framebuffer.
    const QImage first(QString::fromStdString(out / "00000000.bmp"));
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.size(), frame->View()->size());
    EXPECT_GT(Orange(first), 100);
    EXPECT_EQ(frame->Status().Progress(), nullptr);
    EXPECT_EQ(frame->Status().Text(), QString::fromStdString(out.Path()));

    // The default entry has no frames: the menu doesn't offer the export, and asked directly
    // it asks nothing.
    PickAnimation(0);
    frame->OnCommand(Cmd::kExportAnimate);
    EXPECT_EQ(answers.messages.size(), 3u);
}

TEST_F(ModelCommandsTest, AttachmentJoinsThePartsMenu) {
    LoadHero();
    Choose("chars/hero/parts/hero_body.skn", Cmd::kLoadAttachment);
    EXPECT_TRUE(answers.messages.empty());
    EXPECT_EQ(Parts(), QStringList({"patch0 +", "patch1 +", "patch0 +"}));
    Choose("chars/bad/bad.skn", Cmd::kLoadAttachment);
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_EQ(answers.messages[0].icon, App::MsgIcon::Information);
    EXPECT_EQ(Parts().size(), 3);
}

TEST_F(ModelCommandsTest, ModelColourMultipliesTheModelOnly) {
    LoadHero();
    answers.colors.push_back(QColor(Qt::red));
    Press("Alt+M");
    frame->View()->OnTimer();
    const QImage shot = frame->View()->grabFramebuffer();
    const auto red = [](QColor c) { return c.red() > 150 && c.green() < 20 && c.blue() < 20; };
    EXPECT_GT(Count(shot, red, 2), 100);
    EXPECT_EQ(Orange(shot), 0);
    EXPECT_GT(Count(
                  shot, [](QColor c) { return c == QColor(0x33, 0x33, 0xB2); }, 2),
              100);
}

}  // namespace
