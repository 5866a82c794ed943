// The main frame: its visible texts, the keys of the command table, the exit question, the
// about box, the view's drawing and camera, and what is remembered between runs.
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>
#include <QXmlStreamReader>
#include <chrono>

#include "AboutDlg.h"
#include "AnimationBar.h"
#include "AppTestUtil.h"
#include "CrashDump.h"
#include "Language.h"
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

// Qt's own dialogs and buttons follow the language chosen, as do the program's texts.
TEST(Texts, QtsOwnTextsFollowTheLanguage) {
    struct Row {
        App::Language language;
        const char* cancel;  // Qt's own
        const char* ready;   // the program's
    };
    const Row rows[] = {{App::Language::English, "Cancel", "Ready"},
                        {App::Language::Chinese, "取消", "准备"}};
    for (const Row& row : rows) {
        App::UseLanguage(row.language);
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), U(row.cancel));
        EXPECT_EQ(QCoreApplication::translate("App::CStatusLine", "准备"), U(row.ready));
        EXPECT_EQ(App::RememberedLanguage(), row.language);
    }
}

// The English texts of the translation file: all finished, no Chinese left, the same
// placeholders and lines as their sources, and a mnemonic wherever the source has one, on
// a letter that no Alt accelerator uses, so that a menu title can never take an
// accelerator's key.
TEST(Texts, EnglishTranslationIsFinished) {
    QFile file(QStringLiteral(VELL_TS_FILES));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << VELL_TS_FILES;
    QXmlStreamReader xml(&file);
    QString source;
    int messages = 0;
    const QRegularExpression placeholders(QStringLiteral("%\\d"));
    const auto sorted = [&](const QString& text) {
        QStringList found;
        for (const auto& m : placeholders.globalMatch(text)) {
            found << m.captured();
        }
        found.sort();
        return found;
    };
    const QString acceleratorLetters = QStringLiteral("CKBMLTSAX");
    const auto check = [&](const QString& english) {
        const std::string what = source.toStdString();
        EXPECT_FALSE(english.trimmed().isEmpty()) << what;
        EXPECT_FALSE(english.contains(
            QRegularExpression(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"))))
            << english.toStdString();
        EXPECT_EQ(sorted(english), sorted(source)) << what;
        EXPECT_EQ(english.contains(QStringLiteral("%n")), source.contains(QStringLiteral("%n")))
            << what;
        EXPECT_EQ(english.count('\n'), source.count('\n')) << what;
        const QKeySequence mnemonic = QKeySequence::mnemonic(english);
        EXPECT_EQ(mnemonic.isEmpty(), QKeySequence::mnemonic(source).isEmpty()) << what;
        if (!mnemonic.isEmpty()) {
            const QChar letter = QChar(mnemonic[0].key());
            EXPECT_FALSE(acceleratorLetters.contains(letter.toUpper())) << english.toStdString();
        }
    };
    bool numerus = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == QLatin1String("message")) {
            numerus = xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            ++messages;
            EXPECT_TRUE(xml.attributes().value(QLatin1String("type")).isEmpty())
                << source.toStdString();
            if (!numerus) {
                check(xml.readElementText());
                continue;
            }
            // English has two plural forms: one, and many.
            int forms = 0;
            while (xml.readNextStartElement()) {
                ++forms;
                check(xml.readElementText());
            }
            EXPECT_EQ(forms, 2) << source.toStdString();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(messages, 50);
}

// Every text a user sees of a command in one language: item, status prompt, tool tip.
struct CommandTexts {
    const char* text;
    const char* prompt;
    const char* tip;
};
struct CommandRow {
    uint16_t id;
    const char* keys;
    CommandTexts chinese;
    CommandTexts english;
};
// One command a row: the Chinese texts above, the English below.
// clang-format off
const CommandRow kCommandTexts[] = {
    {kFileOpen, "Ctrl+O", {"打开(&O)...", "Open an existing document", "打开"},
                          {"&Open...", "Open an existing document", "Open"}},
    {kFileClose, "Ctrl+X", {"关闭(&C)", "Close the active document", "关闭"},
                           {"Clos&e", "Close the active document", "Close"}},
    {kSaveScreenshot, "Ctrl+Shift+S", {"保存截图...", "把视图保存为PNG图片", "保存截图"},
                                      {"Save Screenshot...",
                                       "Save the view as a PNG picture", "Save screenshot"}},
    {kCopyPicture, "Ctrl+Shift+C", {"复制图片", "把视图复制到剪贴板", "复制图片"},
                                   {"Copy Picture", "Copy the view to the clipboard",
                                    "Copy picture"}},
    {kExportMovie, "Ctrl+Shift+E", {"导出动画...", "把播放中的动画导出为GIF, WebP或视频", "导出动画"},
                                   {"Export Animation...",
                                    "Export the playing animation as GIF, WebP or video",
                                    "Export animation"}},
    {kAppExit, "Alt+X", {"退出(&x)", "Quit the application", "Exit"},
                        {"&Quit", "Quit the application", "Exit"}},
    {kBackgroundColor, "Alt+B", {"背景颜色(&B)...", "改变背景色", "改变背景色"},
                                {"Back&ground Colour...",
                                 "Change the background colour", "Change the background colour"}},
    {kModelColor, "Alt+M", {"模型颜色(&M)...", "改变模型颜色", "改变模型颜色"},
                           {"Mo&del Colour...",
                            "Change the model colour", "Change the model colour"}},
    {kRenderPoint, "Ctrl+P", {"点(&P)", "点渲染模式", "点渲染模式"},
                             {"&Points", "Point render mode", "Point render mode"}},
    // The Chinese line mode repeats the point mode's prompt, as the string table has it.
    {kRenderLine, "Ctrl+L", {"线(&L)", "点渲染模式", "点渲染模式"},
                            {"L&ines", "Line render mode", "Line render mode"}},
    {kRenderFill, "Ctrl+F", {"面(&F)", "填充渲染模式", "填充渲染模式"},
                            {"&Faces", "Fill render mode", "Fill render mode"}},
    {kShowAxes, "Alt+C", {"显示坐标原点(&C)", "显示/隐藏坐标轴", "显示/隐藏坐标轴"},
                         {"Sho&w Axes", "Show or hide the axes", "Show or hide the axes"}},
    {kShowSkeleton, "Alt+K", {"显示骨骼(&k)", "显示/隐藏骨骼", "骨骼"},
                             {"Show Skeleto&n", "Show or hide the skeleton", "Skeleton"}},
    {kVersionCheck, "", {"版本检查", "", ""}, {"Version Check", "", ""}},
    {kLanguageChinese, "", {"中文", "", ""}, {"中文", "", ""}},
    {kLanguageEnglish, "", {"English", "", ""}, {"English", "", ""}},
    {kViewToolBar, "Alt+T", {"工具栏(&T)", "显示/隐藏工具条", "工具条"},
                            {"T&ool Bar", "Show or hide the tool bar", "Tool bar"}},
    {kViewStatusBar, "Alt+S", {"状态栏(&S)", "显示/隐藏状态条", "状态条"},
                              {"Stat&us Bar", "Show or hide the status bar", "Status bar"}},
    {kViewTree, "Alt+L", {"目录树(&T)", "显示/隐藏目录树", "目录树开关"},
                         {"&Directory Tree", "Show or hide the directory tree", "Directory tree"}},
    {kAppAbout, "", {"关于(&A)...",
                     "Display program information, version number and copyright", "About"},
                    {"Ab&out...",
                     "Display program information, version number and copyright", "About"}},
    {kSaveFileList, "Ctrl+S", {"", "保存MDX文件列表", "保存MDX文件列表"},
                              {"", "Save the list of files", "Save the list of files"}},
    {kThrottle, "Alt+A", {"", "自动动画速度", "自动速度"},
                         {"", "Throttle the frame rate", "Throttle"}},
    {kRenderTexture, "Alt+R", {"", "渲染贴图", "渲染贴图"},
                              {"", "Render textures", "Render textures"}},
    {kPartsButton, "", {"零件显示", "", ""}, {"Parts", "", ""}},
    {kRenderSkin, "", {"渲染模型", "", ""}, {"Render Model", "", ""}},
    {kApplyAnimate, "", {"显示动画", "", ""}, {"Show Animation", "", ""}},
    {kExportAnimate, "", {"导出动画帧...", "", ""}, {"Export Animation Frames...", "", ""}},
    {kExportFile, "", {"导出文件(&E)", "", ""}, {"&Export File", "", ""}},
    {kConvertToObj, "", {"转换为Obj文件(&C)", "", ""}, {"Convert to &OBJ", "", ""}},
    {kConvertToObjMtl, "", {"转换为Obj文件(带材质)", "", ""},
                           {"Convert to OBJ with Materials", "", ""}},
    {kConvertToGltf, "", {"转换为glTF文件", "", ""}, {"Convert to glTF", "", ""}},
    {kConvertToFbx, "", {"转换为FBX文件", "", ""}, {"Convert to FBX", "", ""}},
    {kLoadAttachment, "", {"加载为挂件", "", ""}, {"Load as Attachment", "", ""}},
    {kPreviewTexture, "", {"预览纹理", "", ""}, {"Preview Texture", "", ""}},
    {kLighting, "", {"光照", "用来自镜头的光照亮模型", "光照"},
                    {"Lighting", "Light the model from the camera", "Lighting"}},
    {kGroundGrid, "", {"地面网格", "在模型脚下显示每米一格的地面网格", "地面网格"},
                      {"Ground Grid",
                       "Show a ground grid of one square per metre under the model",
                       "Ground grid"}},
    {kBonesOnTop, "", {"骨骼置前", "把骨骼画在模型前面; 单击关节选中骨骼", "骨骼置前"},
                      {"Bones on Top",
                       "Draw the skeleton in front of the model; click a joint to select its bone",
                       "Bones on top"}},
    {kHelpKeys, "F1", {"快捷键(&K)", "列出所有按键和鼠标操作", "快捷键"},
                      {"Ke&ys", "List every key and mouse action", "Keys"}},
    {kViewFile, "", {"查看", "在只读窗口中查看文件的文本或十六进制内容", "查看"},
                    {"View", "Show the file's text or hex dump in a read-only window", "View"}},
    {kGallery, "", {"缩略图(&G)", "把文件夹里的所有模型显示为缩略图", "缩略图"},
                   {"Thumbnail &Gallery", "Show every model of the folder as a picture",
                    "Thumbnail Gallery"}},
    {kShowSources, "", {"来源", "列出包含此文件的所有包", "来源"},
                       {"Sources", "List every archive that holds this file", "Sources"}},
    {kFileCompare, "", {"比较(&D)...", "与另一个游戏目录比较, 标出新增和更改的文件", "比较"},
                       {"Com&pare...",
                        "Compare with another game folder, marking added and changed files",
                        "Compare"}},
    {kPackMod, "", {"打包补丁(&P)...", "把一个文件夹打包成游戏先读的补丁包", "打包补丁"},
                   {"Pack a mo&d...", "Pack a folder into a mod archive that the game reads first",
                    "Pack a mod"}},
    {kModList, "", {"补丁列表(&I)...", "列出覆盖其他包的包和它们的冲突", "补丁列表"},
                   {"Mod l&ist...", "List the archives that override others and their conflicts",
                    "Mods"}},
    {kModelInfo, "", {"模型信息", "显示/隐藏模型信息面板", "模型信息"},
                     {"Model Info", "Show or hide the model information panel", "Model info"}},
};
// clang-format on

// What the window shows in one language besides the commands.
struct WindowTexts {
    App::Language language;
    CommandTexts CommandRow::*commands;
    const char* title;
    QStringList menuBar;
    std::vector<QStringList> menus;
    const char* tools;
    const char* defaultAnimation;
    const char* idle;
    const char* pane;
    const char* about;
};
const WindowTexts kWindowTexts[] = {
    {App::Language::Chinese,
     &CommandRow::chinese,
     "Vell 模型浏览器v1.0a",
     {"文件(&F)", "设置(&S)", "视图(&V)", "帮助(&H)"},
     {{"打开(&O)...", "最近打开", "比较(&D)...", "打包补丁(&P)...", "补丁列表(&I)...", "关闭(&C)",
       "保存截图...", "复制图片", "导出动画...", "|", "退出(&x)"},
      {"背景颜色(&B)...", "模型颜色(&M)...", "|", "渲染模式(&R)", "显示坐标原点(&C)",
       "显示骨骼(&k)", "版本检查", "|", "光照", "地面网格", "骨骼置前", "模型信息", "|", "语言"},
      {"工具栏(&T)", "状态栏(&S)", "目录树(&T)", "|", "缩略图(&G)"},
      {"快捷键(&K)", "关于(&A)..."}},
     "打开 关闭 | 工具条 状态条 目录树开关 | 点渲染模式 点渲染模式 填充渲染模式 | "
     "显示/隐藏坐标轴 | 改变背景色 | 改变模型颜色 | list | speed | parts | Exit | About",
     "默认   ",
     "准备",
     "文件列表 ",
     "关于"},
    {App::Language::English,
     &CommandRow::english,
     "Vell Model Browser v1.0a",
     {"&File", "S&ettings", "&View", "&Help"},
     {{"&Open...", "Recent Folders", "Com&pare...", "Pack a mo&d...", "Mod l&ist...", "Clos&e",
       "Save Screenshot...", "Copy Picture", "Export Animation...", "|", "&Quit"},
      {"Back&ground Colour...", "Mo&del Colour...", "|", "&Render Mode", "Sho&w Axes",
       "Show Skeleto&n", "Version Check", "|", "Lighting", "Ground Grid", "Bones on Top",
       "Model Info", "|", "Language"},
      {"T&ool Bar", "Stat&us Bar", "&Directory Tree", "|", "Thumbnail &Gallery"},
      {"Ke&ys", "Ab&out..."}},
     "Open Close | Tool bar Status bar Directory tree | Point render mode Line render mode "
     "Fill render mode | Show or hide the axes | Change the background colour | Change the "
     "model colour | list | speed | parts | Exit | About",
     "Default   ",
     "Ready",
     "Files ",
     "About"},
};

QStringList Texts(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* a : actions) {
        texts << (a->isSeparator() ? QStringLiteral("|") : a->text());
    }
    return texts;
}

// Chinese first, as the program starts; then English chosen in the menu, everything
// retranslated at once; the choice is remembered.
TEST_F(FrameTest, VisibleTextsAndLayout) {
    for (const WindowTexts& language : kWindowTexts) {
        ChooseLanguage(language.language);
        const std::string name = App::LanguageCode(language.language);
        for (const CommandRow& row : kCommandTexts) {
            const CommandTexts& texts = row.*language.commands;
            QAction* action = frame->Action(row.id);
            ASSERT_NE(action, nullptr) << row.id;
            EXPECT_EQ(action->text(), U(texts.text)) << name << row.id;
            EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(row.keys))) << row.id;
            EXPECT_EQ(action->statusTip(), U(texts.prompt)) << name << row.id;
            if (*texts.tip) {
                EXPECT_EQ(action->toolTip(), U(texts.tip)) << name << row.id;
            }
        }
        EXPECT_EQ(frame->windowTitle(), U(language.title));
        QMenuBar* bar = frame->menuBar();
        EXPECT_EQ(Texts(bar->actions()), language.menuBar) << name;
        for (std::size_t m = 0; m < language.menus.size(); ++m) {
            EXPECT_EQ(Texts(bar->actions()[int(m)]->menu()->actions()), language.menus[m])
                << name << m;
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
        EXPECT_EQ(tools.join(' '), U(language.tools));
        EXPECT_EQ(frame->AnimationList()->currentText(), U(language.defaultAnimation));
        EXPECT_EQ(frame->Status().Text(), U(language.idle));
        EXPECT_EQ(frame->Pane()->findChild<QLabel*>()->text(), U(language.pane));
        EXPECT_EQ(frame->MakeAboutDlg()->windowTitle(), U(language.about));
        EXPECT_EQ(frame->Action(kLanguageEnglish)->isChecked(),
                  language.language == App::Language::English);
        EXPECT_EQ(frame->Action(kLanguageChinese)->isChecked(),
                  language.language == App::Language::Chinese);
        EXPECT_EQ(App::RememberedLanguage(), language.language);
    }
    EXPECT_EQ(frame->size(), QSize(960, 720));
    EXPECT_EQ(frame->Splitter()->sizes().value(0), 150);
    EXPECT_EQ(frame->AnimationList()->width(), 115);
    EXPECT_EQ(frame->Bar()->Slider()->maximum(), 120);
    EXPECT_EQ(frame->Bar()->Slider()->value(), 60);
}

// Visits every item of the open menu `menu` with the arrow keys, submenus too; returns the
// texts visited.
QStringList WalkMenu(QMenu* menu) {
    QStringList visited;
    // A menu opened from the keyboard starts on its first item, one opened by the mouse on none.
    if (!menu->activeAction()) {
        QTest::keyClick(menu, Qt::Key_Down);
    }
    QAction* first = nullptr;
    for (QAction* active = menu->activeAction(); active && active != first && visited.size() < 40;
         active = menu->activeAction()) {
        first = first ? first : active;
        visited << active->text();
        if (QMenu* sub = active->menu()) {
            QTest::keyClick(menu, Qt::Key_Right);
            if (!QTest::qWaitFor([&] { return QApplication::activePopupWidget() == sub; })) {
                ADD_FAILURE() << "submenu didn't open: " << active->text().toStdString();
                break;
            }
            for (const QString& text : WalkMenu(sub)) {
                visited << QStringLiteral("  ") + text;
            }
            QTest::keyClick(sub, Qt::Key_Left);
            EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == menu; }));
        }
        QTest::keyClick(menu, Qt::Key_Down);
    }
    return visited;
}

// In both languages every menu opens from the keyboard by its title's mnemonic (or with the
// mouse where an Alt accelerator takes that key: 设置(&S) against Alt+S), and the arrow keys
// reach every enabled item. English titles never need the mouse, and an English menu's
// mnemonics are all different.
TEST_F(FrameTest, EveryMenuWalksFromTheKeyboard) {
    std::map<App::Language, int> visitedCounts;
    for (const App::Language language : {App::Language::Chinese, App::Language::English}) {
        ChooseLanguage(language);
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        QMenuBar* bar = frame->menuBar();
        for (QAction* title : bar->actions()) {
            QMenu* menu = title->menu();
            const QKeySequence mnemonic = QKeySequence::mnemonic(title->text());
            ASSERT_FALSE(mnemonic.isEmpty()) << title->text().toStdString();
            const bool taken = std::any_of(
                std::begin(kCommandTexts), std::end(kCommandTexts),
                [&](auto& row) { return QKeySequence(QString::fromLatin1(row.keys)) == mnemonic; });
            if (taken) {
                EXPECT_EQ(language, App::Language::Chinese) << title->text().toStdString();
                QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(title).center());
            } else {
                frame->View()->setFocus();
                QTest::keyClick(frame.get(), mnemonic[0].key(), Qt::AltModifier);
            }
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == menu; }))
                << title->text().toStdString();
            const QStringList visited = WalkMenu(menu);
            visitedCounts[language] += static_cast<int>(visited.size());
            QStringList enabled;
            for (QAction* a : menu->actions()) {
                if (!a->isSeparator() && a->isEnabled() && a->isVisible()) {
                    enabled << a->text();
                }
            }
            QStringList topLevel = visited.filter(QRegularExpression(QStringLiteral("^[^ ]")));
            EXPECT_EQ(topLevel, enabled) << title->text().toStdString();
            if (language == App::Language::English) {
                QStringList keys;
                for (const QString& text : enabled) {
                    const QKeySequence key = QKeySequence::mnemonic(text);
                    if (!key.isEmpty()) {
                        EXPECT_FALSE(keys.contains(key.toString())) << text.toStdString();
                        keys << key.toString();
                    }
                }
                for (const QString& text : visited) {
                    if (text.trimmed() != U("中文")) {
                        EXPECT_FALSE(text.contains(
                            QRegularExpression(QStringLiteral("[\\x{3000}-\\x{9fff}]"))))
                            << text.toStdString();
                    }
                }
            }
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
            if (QApplication::activePopupWidget()) {
                QApplication::activePopupWidget()->close();
            }
            ASSERT_TRUE(
                QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }));
        }
    }
    // The same menus in both languages, and more than the menu bar's own titles.
    EXPECT_EQ(visitedCounts[App::Language::Chinese], visitedCounts[App::Language::English]);
    EXPECT_GT(visitedCounts[App::Language::English], 15);
    EXPECT_TRUE(answers.messages.empty());
}

// A key pressed on the window and what it visibly changes; toggles go back on a second press.
struct KeyRow {
    const char* keys;
    std::function<bool(App::CVellModelBrowserMainFrame&)> changed;
    bool toggles;
};

// Every Alt accelerator in both languages, from the view and from the filter box.
TEST_F(FrameTest, AcceleratorsWinOverMnemonics) {
    using F = App::CVellModelBrowserMainFrame;
    const auto asked = [this](F&) {
        return QTest::qWaitFor([this] { return !answers.messages.empty(); }, 2000);
    };
    const KeyRow rows[] = {
        {"Alt+S", [](F& f) { return f.statusBar()->isHidden(); }, true},
        {"Alt+T", [](F& f) { return !f.ToolBar()->isVisible(); }, true},
        {"Alt+L", [](F& f) { return !f.Pane()->isVisible() && !f.TreeShown(); }, true},
        {"Alt+C", [](F& f) { return !f.View()->Core().m_bShowAxes; }, true},
        {"Alt+K", [](F&) { return Model::showSkeleton; }, true},
        {"Alt+A", [](F& f) { return f.View()->Core().m_bThrottle; }, true},
        {"Alt+B", [this](F&) { return !answers.colorsProposed.empty(); }, false},
        {"Alt+M", [this](F&) { return !answers.colorsProposed.empty(); }, false},
        {"Alt+X", asked, false},  // the exit question, answered Cancel
        {"Ctrl+P", [](F& f) { return f.Action(kRenderPoint)->isChecked(); }, false},
        {"Ctrl+L", [](F& f) { return f.Action(kRenderLine)->isChecked(); }, false},
        {"Ctrl+F", [](F& f) { return f.Action(kRenderFill)->isChecked(); }, false},
    };
    for (const App::Language language : {App::Language::Chinese, App::Language::English}) {
        ChooseLanguage(language);
        const std::string name = App::LanguageCode(language);
        for (const KeyRow& row : rows) {
            // From the filter box too: a field keeps only its editing keys.
            for (QWidget* focus : {static_cast<QWidget*>(frame->View()),
                                   static_cast<QWidget*>(frame->Pane()->FilterBox())}) {
                frame->activateWindow();
                focus->setFocus();
                answers.colorsProposed.clear();
                answers.messages.clear();
                answers.messageAnswers = {App::MsgAnswer::Cancel};
                Press(row.keys);
                EXPECT_TRUE(row.changed(*frame)) << name << row.keys;
                EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << name << row.keys;
                if (row.toggles) {
                    frame->activateWindow();
                    Press(row.keys);
                    EXPECT_FALSE(row.changed(*frame)) << name << row.keys;
                }
            }
        }
    }
    // The check marks follow, and exactly one render mode stays checked.
    EXPECT_TRUE(frame->Action(kViewStatusBar)->isChecked());
    EXPECT_FALSE(frame->Action(kRenderPoint)->isChecked());
    EXPECT_TRUE(frame->isVisible());

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
    const QPoint start(100, 100);
    Mouse(view, QEvent::MouseButtonPress, start, Qt::LeftButton);
    // One degree per move, however far the pointer went.
    Mouse(view, QEvent::MouseMove, start + QPoint(80, 0), Qt::LeftButton);
    Mouse(view, QEvent::MouseMove, start + QPoint(90, 0), Qt::LeftButton);
    EXPECT_EQ(core.m_nRotY, 2);
    Mouse(view, QEvent::MouseButtonRelease, start, Qt::NoButton);
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
