// The main frame: its visible texts, the keys of the command table, the exit question, the
// about box, the view's drawing and camera, and what is remembered between runs.
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTranslator>
#include <QWheelEvent>
#include <chrono>

#include "AboutDlg.h"
#include "AnimationBar.h"
#include "AppTestUtil.h"
#include "CrashDump.h"
#include "Run.h"
#include "Settings.h"
#include "StatusLine.h"
#include "TreePane.h"
#include "model/model.h"
#include "model/object.h"

namespace {

using namespace AppTest;
using namespace App::Cmd;

TEST(Texts, VersionSuffixDumpNameGlTextAndViewSize) {
    EXPECT_EQ(App::VersionSuffix({1, 0, 1, 0}), "v1.0a");
    EXPECT_EQ(App::VersionSuffix({1, 0, 0, 7}), "v1.0");
    EXPECT_EQ(App::VersionSuffix({2, 3, 3, 9}), "v2.3c");
    EXPECT_EQ(App::VersionSuffix({1, 2, 4, 0}), "v1.2.4");
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mday = 5;
    t.tm_hour = 7;
    t.tm_min = 8;
    t.tm_sec = 9;
    EXPECT_EQ(App::DumpFileName(t), "2026-01-05 07.08.09.dmp");
    // The crash handler's own calendar, against the C library's.
    for (const long long seconds : {0LL, 951782400LL, 1767225599LL, 4107542400LL}) {
        const std::time_t time = static_cast<std::time_t>(seconds);
        std::tm utc{};
        gmtime_r(&time, &utc);
        EXPECT_EQ(App::DumpFileName(seconds), App::DumpFileName(utc)) << seconds;
    }
    App::GlInfo info{"2.1 Mesa", "1.3", "llvmpipe", "Mesa", {"GL_A", "GL_B"}};
    EXPECT_EQ(App::GlText(info),
              "GL Vendor\t:Mesa\r\nGL Renderer\t:llvmpipe\r\nGL Version\t:2.1 Mesa\r\n"
              "GLu Version\t:1.3\r\n\r\nSupported GL Extensions:\r\nGL_A\r\nGL_B\r\n");
    EXPECT_EQ(App::SplitExtensions("GL_A GL_B "), App::SplitExtensions("GL_A GL_B"));
    // At a scale factor of 1.25 the framebuffer's size is rounded, not truncated.
    EXPECT_EQ(App::ViewPixels(QSize(203, 100), 1.25), QSize(254, 125));
}

TEST(Texts, QtsOwnDialogsSpeakChinese) {
    QTranslator* translator = App::InstallQtTranslations(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), U("取消"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

// Every text a user sees of a command: item, accelerator, status prompt, tool tip.
struct CommandRow {
    uint16_t id;
    const char* text;
    const char* keys;
    const char* prompt;
    const char* tip;
};
const CommandRow kCommandTexts[] = {
    {kFileOpen, "打开(&O)...", "Ctrl+O", "Open an existing document", "打开"},
    {kFileClose, "关闭(&C)", "Ctrl+X", "Close the active document", "关闭"},
    {kSaveScreenshot, "保存截图...", "Ctrl+Shift+S", "把视图保存为PNG图片", "保存截图"},
    {kAppExit, "退出(&x)", "Alt+X", "Quit the application", "Exit"},
    {kBackgroundColor, "背景颜色(&B)...", "Alt+B", "改变背景色", "改变背景色"},
    {kModelColor, "模型颜色(&M)...", "Alt+M", "改变模型颜色", "改变模型颜色"},
    {kRenderPoint, "点(&P)", "Ctrl+P", "点渲染模式", "点渲染模式"},
    {kRenderLine, "线(&L)", "Ctrl+L", "点渲染模式", "点渲染模式"},
    {kRenderFill, "面(&F)", "Ctrl+F", "填充渲染模式", "填充渲染模式"},
    {kShowAxes, "显示坐标原点(&C)", "Alt+C", "显示/隐藏坐标轴", "显示/隐藏坐标轴"},
    {kShowSkeleton, "显示骨骼(&k)", "Alt+K", "显示/隐藏骨骼", "骨骼"},
    {kVersionCheck, "版本检查", "", "", ""},
    {kViewToolBar, "工具栏(&T)", "Alt+T", "显示/隐藏工具条", "工具条"},
    {kViewStatusBar, "状态栏(&S)", "Alt+S", "显示/隐藏状态条", "状态条"},
    {kViewTree, "目录树(&T)", "Alt+L", "显示/隐藏目录树", "目录树开关"},
    {kAppAbout, "关于(&A)...", "", "Display program information, version number and copyright",
     "About"},
    {kSaveFileList, "", "Ctrl+S", "保存MDX文件列表", "保存MDX文件列表"},
    {kThrottle, "", "Alt+A", "自动动画速度", "自动速度"},
    {kRenderTexture, "", "Alt+R", "渲染贴图", "渲染贴图"},
    {kPartsButton, "零件显示", "", "", ""},
    {kRenderSkin, "渲染模型", "", "", ""},
    {kApplyAnimate, "显示动画", "", "", ""},
    {kExportAnimate, "导出动画帧...", "", "", ""},
    {kExportFile, "导出文件(&E)", "", "", ""},
    {kConvertToObj, "转换为Obj文件(&C)", "", "", ""},
    {kConvertToObjMtl, "转换为Obj文件(带材质)", "", "", ""},
    {kConvertToGltf, "转换为glTF文件", "", "", ""},
    {kLoadAttachment, "加载为挂件", "", "", ""},
    {kPreviewTexture, "预览纹理", "", "", ""},
    {kLighting, "光照", "", "用来自镜头的光照亮模型", "光照"},
    {kGroundGrid, "地面网格", "", "在模型脚下显示每米一格的地面网格", "地面网格"},
    {kBonesOnTop, "骨骼置前", "", "把骨骼画在模型前面; 单击关节选中骨骼", "骨骼置前"},
    {kModelInfo, "模型信息", "", "显示/隐藏模型信息面板", "模型信息"},
};

QStringList Texts(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* a : actions) {
        texts << (a->isSeparator() ? QStringLiteral("|") : a->text());
    }
    return texts;
}

TEST_F(FrameTest, VisibleTextsAndLayout) {
    for (const CommandRow& row : kCommandTexts) {
        QAction* action = frame->Action(row.id);
        ASSERT_NE(action, nullptr) << row.id;
        EXPECT_EQ(action->text(), U(row.text)) << row.id;
        EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(row.keys))) << row.id;
        EXPECT_EQ(action->statusTip(), U(row.prompt)) << row.id;
        if (*row.tip) {
            EXPECT_EQ(action->toolTip(), U(row.tip)) << row.id;
        }
    }
    EXPECT_EQ(frame->windowTitle(), U("Vell 模型浏览器v1.0a"));
    EXPECT_EQ(frame->size(), QSize(960, 720));
    EXPECT_EQ(frame->Splitter()->sizes().value(0), 150);
    QMenuBar* bar = frame->menuBar();
    EXPECT_EQ(Texts(bar->actions()),
              QStringList({U("文件(&F)"), U("设置(&S)"), U("视图(&V)"), U("帮助(&H)")}));
    const std::vector<QStringList> menus = {
        {U("打开(&O)..."), U("最近打开"), U("比较(&D)..."), U("关闭(&C)"), U("保存截图..."), "|",
         U("退出(&x)")},
        {U("背景颜色(&B)..."), U("模型颜色(&M)..."), "|", U("渲染模式(&R)"), U("显示坐标原点(&C)"),
         U("显示骨骼(&k)"), U("版本检查"), "|", U("光照"), U("地面网格"), U("骨骼置前"),
         U("模型信息")},
        {U("工具栏(&T)"), U("状态栏(&S)"), U("目录树(&T)")},
        {U("快捷键(&K)"), U("关于(&A)...")}};
    for (std::size_t m = 0; m < menus.size(); ++m) {
        EXPECT_EQ(Texts(bar->actions()[int(m)]->menu()->actions()), menus[m]) << m;
    }
    QStringList tools;
    for (QAction* a : frame->ToolBar()->actions()) {
        QWidget* widget = frame->ToolBar()->widgetForAction(a);
        tools << (a->isSeparator()                        ? QStringLiteral("|")
                  : widget == frame->Bar()->List()        ? QStringLiteral("list")
                  : widget == frame->Bar()->Slider()      ? QStringLiteral("speed")
                  : widget == frame->Bar()->PartsButton() ? QStringLiteral("parts")
                  : a->icon().isNull()                    ? "?"
                                                          : a->toolTip());
    }
    EXPECT_EQ(tools.join(' '),
              U("打开 关闭 | 工具条 状态条 目录树开关 | 点渲染模式 点渲染模式 填充渲染模式 | "
                "显示/隐藏坐标轴 | 改变背景色 | 改变模型颜色 | list | speed | parts | Exit | "
                "About"));
    EXPECT_EQ(frame->AnimationList()->currentText(), U("默认   "));
    EXPECT_EQ(frame->AnimationList()->width(), 115);
    EXPECT_EQ(frame->Bar()->Slider()->maximum(), 120);
    EXPECT_EQ(frame->Bar()->Slider()->value(), 60);
    EXPECT_EQ(frame->Status().Text(), U("准备"));
    EXPECT_EQ(frame->Pane()->findChild<QLabel*>()->text(), U("文件列表 "));
}

// A key pressed on the window and what it visibly changes; toggles go back on a second press.
struct KeyRow {
    const char* keys;
    std::function<bool(App::CVellModelBrowserMainFrame&)> changed;
    bool toggles;
};

TEST_F(FrameTest, AcceleratorsWinOverMnemonics) {
    using F = App::CVellModelBrowserMainFrame;
    const KeyRow rows[] = {
        {"Alt+S", [](F& f) { return f.statusBar()->isHidden(); }, true},
        {"Alt+T", [](F& f) { return !f.ToolBar()->isVisible(); }, true},
        {"Alt+L", [](F& f) { return !f.Pane()->isVisible() && !f.TreeShown(); }, true},
        {"Alt+C", [](F& f) { return !f.View()->Core().m_bShowAxes; }, true},
        {"Alt+K", [](F&) { return Model::showSkeleton; }, true},
        {"Alt+A", [](F& f) { return f.View()->Core().m_bThrottle; }, true},
        {"Ctrl+P", [](F& f) { return f.Action(kRenderPoint)->isChecked(); }, false},
        {"Ctrl+L", [](F& f) { return f.Action(kRenderLine)->isChecked(); }, false},
        {"Ctrl+F", [](F& f) { return f.Action(kRenderFill)->isChecked(); }, false},
    };
    for (const KeyRow& row : rows) {
        // From the filter box too: a field keeps only its editing keys.
        for (QWidget* focus : {static_cast<QWidget*>(frame->View()),
                               static_cast<QWidget*>(frame->Pane()->FilterBox())}) {
            focus->setFocus();
            Press(row.keys);
            EXPECT_TRUE(row.changed(*frame)) << row.keys;
            EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << row.keys;
            if (row.toggles) {
                frame->activateWindow();
                Press(row.keys);
                EXPECT_FALSE(row.changed(*frame)) << row.keys;
            }
        }
    }
    // The check marks follow, and exactly one render mode stays checked.
    EXPECT_TRUE(frame->Action(kViewStatusBar)->isChecked());
    EXPECT_FALSE(frame->Action(kRenderPoint)->isChecked());
    EXPECT_TRUE(answers.messages.empty());

    // Ctrl+X in the filter cuts; in the window it closes the model.
    frame->Pane()->FilterBox()->setText("hero");
    frame->Pane()->FilterBox()->setFocus();
    frame->Pane()->FilterBox()->selectAll();
    Press("Ctrl+X");
    EXPECT_TRUE(frame->Pane()->FilterBox()->text().isEmpty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "hero");
}

TEST_F(FrameTest, NoMenuOfQtsOwnOnTheBars) {
    int popups = 0;
    for (QWidget* bar :
         {static_cast<QWidget*>(frame->ToolBar()), static_cast<QWidget*>(frame->menuBar())}) {
        // A menu would block in its own loop until closed here.
        QTimer::singleShot(200, frame.get(), [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                ++popups;
                popup->close();
            }
        });
        const QPoint at = bar->mapTo(frame.get(), QPoint(bar->width() - 5, 5));
        QTest::mouseClick(frame->windowHandle(), Qt::RightButton, {}, at);
    }
    EXPECT_EQ(popups, 0);
    EXPECT_TRUE(frame->ToolBar()->isVisible());
}

TEST_F(FrameTest, ColourPickersOpenOnTheCurrentColour) {
    auto& core = frame->View()->Core();
    answers.colors.push_back(QColor(0x10, 0x20, 0x30));
    Press("Alt+B");
    EXPECT_EQ(core.m_clrBackground, 0x102030u);
    answers.colors.push_back(std::nullopt);
    Press("Alt+B");
    EXPECT_EQ(core.m_clrBackground, 0x102030u);
    answers.colors.push_back(QColor(Qt::red));
    Press("Alt+M");
    Press("Alt+M");
    EXPECT_EQ(frame->View()->ModelColor(), QColor(Qt::red));
    EXPECT_EQ(answers.colorsProposed,
              (std::vector<QColor>{QColor(0x33, 0x33, 0xB2), QColor(0x10, 0x20, 0x30),
                                   QColor(Qt::white), QColor(Qt::red)}));
}

TEST_F(FrameTest, ExitAsksFirstFromKeysAndTheView) {
    QSignalSpy destroyed(frame.get(), &App::CVellModelBrowserMainFrame::Destroyed);
    answers.messageAnswers = {App::MsgAnswer::Cancel, App::MsgAnswer::Cancel};
    Press("Alt+X");
    QTest::keyClick(frame->View(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.messages.size() == 2; }));
    for (const auto& m : answers.messages) {
        EXPECT_EQ(m.text, U("确定要退出吗？     "));
        EXPECT_TRUE(m.caption.isEmpty());
        EXPECT_EQ(m.buttons, App::MsgButtons::OkCancel);
        EXPECT_EQ(m.icon, App::MsgIcon::Information);
    }
    EXPECT_TRUE(frame->isVisible());
    frame->close();
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(destroyed.count(), 1);
}

TEST_F(FrameTest, AboutBoxShowsTitleAndDriver) {
    const auto about = frame->MakeAboutDlg();
    EXPECT_EQ(about->windowTitle(), U("关于"));
    EXPECT_TRUE(about->TitleText().startsWith(frame->windowTitle() + "\n\n"));
    EXPECT_EQ(about->DateText().toStdString(), App::BuildStamp());
    EXPECT_TRUE(about->LinkText().contains("mailto:"));
    const QString gl = about->GlInfoText();
    const App::GlInfo& info = App::GetGlInfo(*frame->View());
    ASSERT_FALSE(info.extensions.empty());
    EXPECT_TRUE(gl.startsWith("GL Vendor\t:" + QString::fromStdString(info.vendor) + "\n"));
    EXPECT_TRUE(gl.contains("GLu Version\t:" + QString::fromStdString(info.gluVersion)));
    EXPECT_TRUE(gl.contains("\n" + QString::fromStdString(info.extensions.back()) + "\n"));
    QTimer::singleShot(0, [&] { QTest::keyClick(about.get(), Qt::Key_Escape); });
    EXPECT_EQ(about->exec(), App::CAboutDlg::kClosed);
    QTimer::singleShot(0, [&] { QTest::keyClick(about.get(), Qt::Key_Return); });
    EXPECT_EQ(about->exec(), App::CAboutDlg::kOk);
}

TEST_F(FrameTest, ViewDrawsOnlyWhenThePictureChanges) {
    App::CVellModelBrowserRenderView* view = frame->View();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->HasContext(); }));
    view->OnTimer();
    const int settled = view->Pictures();
    for (int tick = 0; tick < 20; ++tick) {
        view->OnTimer();
    }
    EXPECT_EQ(view->Pictures(), settled);
    // A command changes the scene: one picture, and it reaches the screen.
    answers.colors.push_back(QColor(0x20, 0xC0, 0x40));
    Press("Alt+B");
    view->OnTimer();
    view->OnTimer();
    EXPECT_EQ(view->Pictures(), settled + 1);
    // The widget's timer is the core's: a tick draws first, then advances the animation.
    auto* model = dynamic_cast<Model::CVellModel*>(View::GetModel());
    ASSERT_NE(model, nullptr);
    std::vector<int> picturesAtUpdate;
    model->SetClock([&] {
        picturesAtUpdate.push_back(view->Pictures());
        return 0u;
    });
    view->Redraw();
    view->OnTimer();
    model->SetClock([] {
        using namespace std::chrono;
        return static_cast<uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    });
    EXPECT_EQ(picturesAtUpdate, std::vector<int>({settled + 2}));
    const QPoint corner = view->mapToGlobal(QPoint(5, 5));
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return QGuiApplication::primaryScreen()
                   ->grabWindow(0, corner.x(), corner.y(), 4, 4)
                   .toImage()
                   .pixelColor(1, 1) == QColor(0x20, 0xC0, 0x40);
    }));
    // Minimised, the view doesn't draw.
    frame->showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->Core().m_bActive; }));
    frame->showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->Core().m_bActive; }));
}

TEST_F(FrameTest, MouseAndKeysTurnTheCameraAndFFramesAgain) {
    App::CVellModelBrowserRenderView* view = frame->View();
    auto& core = view->Core();
    const auto send = [view](QEvent::Type type, QPoint at, Qt::MouseButton button,
                             Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, view->mapToGlobal(at), button, buttons, {});
        QCoreApplication::sendEvent(view, &event);
    };
    const QPoint start(100, 100);
    send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    // One degree per move, however far the pointer went.
    send(QEvent::MouseMove, start + QPoint(80, 0), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, start + QPoint(90, 0), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(core.m_nRotY, 2);
    send(QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
    QWheelEvent wheel(QPointF(50, 50), view->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view, &wheel);
    EXPECT_FLOAT_EQ(core.m_fZoom, 5.0f);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Up);
    EXPECT_EQ(core.m_nRotX, -2);
    QTest::keyClick(view, Qt::Key_Left);
    EXPECT_EQ(core.m_nRotZ, 2);
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_EQ(core.m_nRotZ, 0);
    QTest::keyClick(view, Qt::Key_F);
    EXPECT_EQ(core.m_nRotX, 0);
    EXPECT_EQ(core.m_nRotY, 0);
    EXPECT_FLOAT_EQ(core.m_fZoom, 0.0f);
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_FLOAT_EQ(core.m_fZoom, 2.0f);

    // Hovering the view takes the keyboard, but not from a text field.
    QLineEdit* filter = frame->Pane()->FilterBox();
    filter->setFocus();
    QTest::mouseMove(view, QPoint(60, 60));
    QTest::keyClicks(QApplication::focusWidget(), "hero");
    EXPECT_EQ(filter->text(), "hero");
    frame->Bar()->Slider()->setFocus();
    QTest::mouseMove(view, QPoint(70, 70));
    EXPECT_TRUE(view->hasFocus());
    EXPECT_TRUE(answers.messages.empty());
}

TEST_F(FrameTest, LayoutIsRememberedColoursAreNot) {
    Press("Alt+S");
    Press("Alt+L");
    frame->resize(1000, 700);
    frame->View()->Core().m_clrBackground = 0x123456;
    frame->close();
    auto second = std::make_unique<App::CVellModelBrowserMainFrame>();
    ASSERT_TRUE(second->Create());
    EXPECT_EQ(second->size(), QSize(1000, 700));
    EXPECT_TRUE(second->statusBar()->isHidden());
    EXPECT_FALSE(second->Action(kViewStatusBar)->isChecked());
    EXPECT_FALSE(second->TreeShown());
    EXPECT_TRUE(second->ToolBar()->isVisibleTo(second.get()));
    EXPECT_EQ(second->View()->Core().m_clrBackground, 0x3333B2u);
    EXPECT_TRUE(second->Action(kRenderFill)->isChecked());
}

}  // namespace
