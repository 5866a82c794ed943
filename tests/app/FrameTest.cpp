// The main frame: layout, the command table, check marks, pane and bars, the exit question
// and the about box.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>

#include "AboutDlg.h"
#include "AppTestUtil.h"
#include "CommandTable.h"
#include "CrashDump.h"
#include "model/model.h"

namespace {

using namespace AppTest;
using App::Cmd::kAppAbout;

TEST(VersionSuffix, FollowsTheThirdPart) {
    EXPECT_EQ(App::VersionSuffix({1, 0, 1, 0}), "v1.0a");
    EXPECT_EQ(App::VersionSuffix({1, 0, 0, 7}), "v1.0");
    EXPECT_EQ(App::VersionSuffix({2, 3, 2, 0}), "v2.3b");
    EXPECT_EQ(App::VersionSuffix({2, 3, 3, 9}), "v2.3c");
    EXPECT_EQ(App::VersionSuffix({1, 2, 4, 0}), "v1.2.4");
}

TEST(GlText, ListsEveryValueAndExtension) {
    App::GlInfo info{"2.1 Mesa", "1.3", "llvmpipe", "Mesa", {"GL_A", "GL_B"}};
    EXPECT_EQ(App::GlText(info),
              "GL Vendor\t:Mesa\r\nGL Renderer\t:llvmpipe\r\nGL Version\t:2.1 Mesa\r\n"
              "GLu Version\t:1.3\r\n\r\nSupported GL Extensions:\r\nGL_A\r\nGL_B\r\n");
    EXPECT_EQ(App::SplitExtensions("GL_A GL_B "), App::SplitExtensions("GL_A GL_B"));
    EXPECT_TRUE(App::SplitExtensions("").empty());
}

TEST(CrashDump, NameFromLocalTime) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 5;
    t.tm_hour = 7;
    t.tm_min = 8;
    t.tm_sec = 9;
    EXPECT_EQ(App::DumpFileName(t), "2026-01-05 07.08.09.dmp");
}

TEST_F(FrameTest, LayoutAsBuilt) {
    EXPECT_EQ(frame->windowTitle(), U("Vell 模型浏览器v1.0a"));
    EXPECT_EQ(frame->size(), QSize(960, 720));
    EXPECT_EQ(frame->Splitter()->sizes().value(0), 150);

    QStringList titles;
    for (QAction* a : frame->menuBar()->actions()) {
        titles << a->text();
    }
    EXPECT_EQ(titles, QStringList({U("文件(&F)"), U("设置(&S)"), U("视图(&V)"), U("帮助(&H)")}));

    EXPECT_EQ(frame->AnimationList()->count(), 1);
    EXPECT_EQ(frame->AnimationList()->currentText(), U("默认   "));
    EXPECT_EQ(frame->AnimationList()->width(), 115);
    EXPECT_EQ(frame->SpeedSlider()->minimum(), 0);
    EXPECT_EQ(frame->SpeedSlider()->maximum(), 120);
    EXPECT_EQ(frame->SpeedSlider()->value(), 60);
    EXPECT_EQ(frame->PartsButton()->text(), U("零件显示"));
    EXPECT_EQ(frame->PartsButton()->menu(), frame->PartsMenu());
    EXPECT_EQ(frame->IdleText()->text(), U("准备"));
    EXPECT_EQ(frame->Progress(), nullptr);
    const QLabel* paneTitle = frame->Pane()->findChild<QLabel*>();
    ASSERT_NE(paneTitle, nullptr);
    EXPECT_EQ(paneTitle->text(), U("文件列表 "));
}

TEST_F(FrameTest, TreePaneKeepsItsShareOnResize) {
    QSplitter* splitter = frame->Splitter();
    const double share = static_cast<double>(splitter->sizes().value(0)) /
                         (splitter->sizes().value(0) + splitter->sizes().value(1));
    frame->resize(1200, 720);
    QCoreApplication::processEvents();
    const QList<int> sizes = splitter->sizes();
    ASSERT_EQ(sizes.size(), 2);
    EXPECT_GT(sizes[0], 150);
    EXPECT_NEAR(static_cast<double>(sizes[0]) / (sizes[0] + sizes[1]), share, 0.01);
}

TEST_F(FrameTest, ToolBarInButtonOrder) {
    std::vector<uint16_t> seen;
    for (QAction* a : frame->ToolBar()->actions()) {
        if (a->isSeparator()) {
            seen.push_back(0);
        } else if (QWidget* widget = frame->ToolBar()->widgetForAction(a);
                   widget == frame->AnimationList()) {
            seen.push_back(App::Cmd::kAnimationList);
        } else if (widget == frame->SpeedSlider()) {
            seen.push_back(App::Cmd::kSpeedSlider);
        } else if (widget == frame->PartsButton()) {
            seen.push_back(App::Cmd::kPartsButton);
        } else {
            seen.push_back(static_cast<uint16_t>(a->data().toUInt()));
        }
    }
    const auto layout = App::ToolBarLayout();
    EXPECT_EQ(seen, std::vector<uint16_t>(layout.begin(), layout.end()));
}

TEST_F(FrameTest, PromptsAndToolTips) {
    EXPECT_EQ(frame->Action(App::Cmd::kRenderLine)->toolTip(), U("点渲染模式"));
    EXPECT_EQ(frame->Action(App::Cmd::kRenderFill)->statusTip(), U("填充渲染模式"));
    EXPECT_EQ(frame->Action(App::Cmd::kFileOpen)->statusTip(), U("Open an existing document"));
    EXPECT_EQ(frame->Action(App::Cmd::kViewTree)->toolTip(), U("目录树开关"));
    EXPECT_EQ(frame->Action(App::Cmd::kSaveFileList)->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(frame->Action(App::Cmd::kAppExit)->shortcut(), QKeySequence("Alt+X"));
    for (const App::CommandInfo& info : App::Commands()) {
        ASSERT_NE(frame->Action(info.id), nullptr) << info.id;
        EXPECT_EQ(frame->Action(info.id)->data().toUInt(), info.id);
    }
}

TEST_F(FrameTest, InitialCheckMarks) {
    using namespace App::Cmd;
    for (uint16_t id :
         {kViewTree, kViewToolBar, kViewStatusBar, kRenderFill, kShowAxes, kVersionCheck}) {
        EXPECT_TRUE(frame->UIGetCheck(id)) << id;
        EXPECT_TRUE(frame->Action(id)->isChecked()) << id;
    }
    for (uint16_t id : {kRenderPoint, kRenderLine, kShowSkeleton}) {
        EXPECT_FALSE(frame->UIGetCheck(id)) << id;
        EXPECT_FALSE(frame->Action(id)->isChecked()) << id;
    }
}

TEST_F(FrameTest, RenderModesKeepExactlyOneCheck) {
    using namespace App::Cmd;
    const auto checks = [&] {
        return std::vector<bool>{frame->Action(kRenderPoint)->isChecked(),
                                 frame->Action(kRenderLine)->isChecked(),
                                 frame->Action(kRenderFill)->isChecked()};
    };
    QTest::keyClick(frame.get(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(checks(), (std::vector<bool>{true, false, false}));
    QTest::keyClick(frame.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(checks(), (std::vector<bool>{false, true, false}));
    QTest::keyClick(frame.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(checks(), (std::vector<bool>{false, false, true}));
    // Again: already in fill mode, the click that Qt toggled changes nothing.
    frame->Action(kRenderFill)->trigger();
    EXPECT_EQ(checks(), (std::vector<bool>{false, false, true}));
}

TEST_F(FrameTest, ToggleCommandsReachTheirHandlers) {
    using namespace App::Cmd;
    auto& core = frame->View()->Core();
    frame->Action(kShowAxes)->trigger();
    EXPECT_FALSE(core.m_bShowAxes);
    EXPECT_FALSE(frame->Action(kShowAxes)->isChecked());
    QTest::keyClick(frame.get(), Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(core.m_bShowAxes);
    EXPECT_TRUE(frame->Action(kShowAxes)->isChecked());

    QTest::keyClick(frame.get(), Qt::Key_K, Qt::AltModifier);
    EXPECT_TRUE(frame->UIGetCheck(kShowSkeleton));
    EXPECT_TRUE(Model::showSkeleton);
    frame->Action(kShowSkeleton)->trigger();
    EXPECT_FALSE(frame->UIGetCheck(kShowSkeleton));

    frame->Action(kVersionCheck)->trigger();
    EXPECT_FALSE(frame->Action(kVersionCheck)->isChecked());
    frame->Action(kVersionCheck)->trigger();
    EXPECT_TRUE(frame->Action(kVersionCheck)->isChecked());

    QTest::keyClick(frame.get(), Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(core.m_bThrottle);
    QTest::keyClick(frame.get(), Qt::Key_A, Qt::AltModifier);
    EXPECT_FALSE(core.m_bThrottle);

    frame->Action(kViewToolBar)->trigger();
    EXPECT_FALSE(frame->ToolBar()->isVisible());
    EXPECT_FALSE(frame->Action(kViewToolBar)->isChecked());
    QTest::keyClick(frame.get(), Qt::Key_T, Qt::AltModifier);
    EXPECT_TRUE(frame->ToolBar()->isVisible());

    frame->Action(kViewStatusBar)->trigger();
    EXPECT_FALSE(frame->statusBar()->isVisible());
    EXPECT_FALSE(frame->Action(kViewStatusBar)->isChecked());
    frame->Action(kViewStatusBar)->trigger();
    EXPECT_TRUE(frame->statusBar()->isVisible());
    EXPECT_TRUE(answers.messages.empty());
}

TEST_F(FrameTest, ColourCommandsUseThePicker) {
    using namespace App::Cmd;
    auto& core = frame->View()->Core();
    answers.colors.push_back(QColor(0x10, 0x20, 0x30));
    frame->Action(kBackgroundColor)->trigger();
    EXPECT_EQ(core.m_clrBackground, 0x102030u);
    answers.colors.push_back(std::nullopt);
    QTest::keyClick(frame.get(), Qt::Key_B, Qt::AltModifier);
    EXPECT_EQ(core.m_clrBackground, 0x102030u);
    EXPECT_EQ(answers.colorRequests, 2);

    answers.colors.push_back(QColor(Qt::red));
    QTest::keyClick(frame.get(), Qt::Key_M, Qt::AltModifier);
    EXPECT_EQ(frame->View()->ModelColor(), QColor(Qt::red));
}

TEST_F(FrameTest, CommandsWithoutEffectDoNothing) {
    using namespace App::Cmd;
    frame->Action(kFileClose)->trigger();
    QTest::keyClick(frame.get(), Qt::Key_R, Qt::AltModifier);
    EXPECT_TRUE(answers.messages.empty());
    EXPECT_TRUE(frame->isVisible());
    // Without a folder chosen, File / Open and the save dialog stop at once.
    frame->Action(kFileOpen)->trigger();
    EXPECT_EQ(answers.folderRequests, 1);
    QTest::keyClick(frame.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(answers.saveRequests, 1);
    EXPECT_TRUE(answers.messages.empty());
}

TEST_F(FrameTest, PaneCloseThenTreeToggleShowsTheTree) {
    using namespace App::Cmd;
    QToolButton* close = frame->Pane()->findChild<QToolButton*>();
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(frame->Pane()->isVisible());
    EXPECT_FALSE(frame->TreeShown());
    EXPECT_FALSE(frame->Action(kViewTree)->isChecked());
    EXPECT_TRUE(frame->View()->isVisible());

    QTest::keyClick(frame.get(), Qt::Key_L, Qt::AltModifier);
    EXPECT_TRUE(frame->Pane()->isVisible());
    EXPECT_TRUE(frame->Action(kViewTree)->isChecked());
    frame->Action(kViewTree)->trigger();
    EXPECT_FALSE(frame->Pane()->isVisible());
    frame->Action(kViewTree)->trigger();
    EXPECT_TRUE(frame->Pane()->isVisible());
}

TEST_F(FrameTest, ExitAsksFirst) {
    QSignalSpy destroyed(frame.get(), &App::CVellModelBrowserMainFrame::Destroyed);
    answers.messageAnswers.push_back(App::MsgAnswer::Cancel);
    QTest::keyClick(frame.get(), Qt::Key_X, Qt::AltModifier);
    QCoreApplication::processEvents();
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_EQ(answers.messages[0].text, U("确定要退出吗？     "));
    EXPECT_TRUE(answers.messages[0].caption.isEmpty());
    EXPECT_EQ(answers.messages[0].buttons, App::MsgButtons::OkCancel);
    EXPECT_EQ(answers.messages[0].icon, App::MsgIcon::Information);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(destroyed.count(), 0);

    // The window's own close goes the same way; OK ends the program.
    frame->close();
    EXPECT_EQ(answers.messages.size(), 2u);
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(destroyed.count(), 1);
}

TEST_F(FrameTest, EscapeInTheViewAsksToClose) {
    answers.messageAnswers.push_back(App::MsgAnswer::Cancel);
    QTest::keyClick(frame->View(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_EQ(answers.messages[0].text, U("确定要退出吗？     "));
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(FrameTest, AboutBoxShowsTitleAndDriver) {
    const auto about = frame->MakeAboutDlg();
    EXPECT_EQ(about->windowTitle(), U("关于"));
    EXPECT_TRUE(about->TitleText().startsWith(frame->windowTitle() + "\n\n"));
    EXPECT_EQ(about->DateText().toStdString(), App::BuildStamp());
    EXPECT_TRUE(about->LinkText().contains("mailto:"));
    const QString gl = about->GlInfoText();
    const App::GlInfo& info = App::GetGlInfo(*frame->View());
    EXPECT_FALSE(info.version.empty());
    EXPECT_FALSE(info.gluVersion.empty());
    EXPECT_TRUE(gl.startsWith("GL Vendor\t:" + QString::fromStdString(info.vendor) + "\n"));
    EXPECT_TRUE(gl.contains("GL Renderer\t:" + QString::fromStdString(info.renderer) + "\n"));
    EXPECT_TRUE(gl.contains("GLu Version\t:" + QString::fromStdString(info.gluVersion)));
    EXPECT_TRUE(gl.contains("\n\nSupported GL Extensions:\n"));
    ASSERT_FALSE(info.extensions.empty());
    EXPECT_TRUE(gl.contains("\n" + QString::fromStdString(info.extensions.back()) + "\n"));

    QTimer::singleShot(0, [&] { QTest::keyClick(about.get(), Qt::Key_Escape); });
    EXPECT_EQ(about->exec(), App::CAboutDlg::kClosed);
    QTimer::singleShot(0, [&] { QTest::keyClick(about.get(), Qt::Key_Return); });
    EXPECT_EQ(about->exec(), App::CAboutDlg::kOk);
}

TEST_F(FrameTest, AboutCommandRunsTheDialog) {
    bool shown = false;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<App::CAboutDlg*>(QApplication::activeModalWidget())) {
            shown = true;
            dialog->accept();
        }
    });
    frame->Action(kAppAbout)->trigger();
    EXPECT_TRUE(shown);
}

TEST_F(FrameTest, TimerFramesReachTheScreen) {
    App::CVellModelBrowserRenderView* view = frame->View();
    view->Core().m_clrBackground = 0x20C040;
    const int before = view->Paints();
    view->OnTimer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->Paints() > before; }, 10000));
    // What the X server shows, not what the widget would draw if asked.
    const QPoint corner = view->mapToGlobal(QPoint(0, 0));
    bool shown = false;
    const bool settled = QTest::qWaitFor(
        [&] {
            const QImage screen = QGuiApplication::primaryScreen()
                                      ->grabWindow(0, corner.x() + 5, corner.y() + 5, 20, 20)
                                      .toImage();
            shown = screen.pixelColor(10, 10) == QColor(0x20, 0xC0, 0x40);
            return shown;
        },
        10000);
    EXPECT_TRUE(settled && shown);
}

TEST_F(FrameTest, ViewTimerDrawsOnlyWhileActive) {
    auto& core = frame->View()->Core();
    EXPECT_TRUE(core.m_bActive);
    frame->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(core.m_bActive);
    frame->showNormal();
    QCoreApplication::processEvents();
    EXPECT_TRUE(core.m_bActive);
}

}  // namespace

namespace {

using namespace AppTest;

TEST_F(FrameTest, MouseAndKeysTurnTheCamera) {
    App::CVellModelBrowserRenderView* view = frame->View();
    auto& core = view->Core();
    const auto send = [view](QEvent::Type type, QPoint at, Qt::MouseButton button,
                             Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
        QMouseEvent event(type, at, view->mapToGlobal(at), button, buttons, modifiers);
        QCoreApplication::sendEvent(view, &event);
    };
    const QPoint start(100, 100);
    send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton, {});
    // One degree per move, however far the pointer went.
    send(QEvent::MouseMove, start + QPoint(80, 0), Qt::NoButton, Qt::LeftButton, {});
    send(QEvent::MouseMove, start + QPoint(90, 0), Qt::NoButton, Qt::LeftButton, {});
    EXPECT_EQ(core.m_nRotY, 2);
    send(QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton, {});

    // With Shift held the drag does nothing.
    send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    send(QEvent::MouseMove, start + QPoint(-50, 0), Qt::NoButton, Qt::LeftButton,
         Qt::ShiftModifier);
    EXPECT_EQ(core.m_nRotY, 2);
    send(QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton, Qt::ShiftModifier);

    QWheelEvent wheel(QPointF(50, 50), view->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view, &wheel);
    EXPECT_FLOAT_EQ(core.m_fZoom, 5.0f);

    view->setFocus();
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_FLOAT_EQ(core.m_fZoom, 7.0f);
    QTest::keyClick(view, Qt::Key_Up);
    EXPECT_EQ(core.m_nRotX, -2);
    EXPECT_TRUE(answers.messages.empty());
}

}  // namespace
