// The game folder (opened, recent, dropped), the tree pane with its filter, context menu,
// activation and exports, and the texture preview.
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>
#include <cstring>

#include "AnimationBar.h"
#include "AppTestUtil.h"
#include "CommandTable.h"
#include "Settings.h"
#include "StatusLine.h"
#include "TexturePreview.h"
#include "ThreadSeam.h"
#include "TreePane.h"
#include "base/text.h"
#include "export/fbx.h"
#include "model/model.h"
#include "view/view.h"

namespace {

using namespace AppTest;
namespace Cmd = App::Cmd;

std::vector<Forge::PakFile> GameFiles() {
    std::vector<Forge::PakFile> files = Character("\\chars\\hero", {{-50, -50, 50, 50}});
    files.push_back(TextFile("\\docs\\readme.txt", "read me"));
    files.push_back(TextFile("\\docs\\a.skn.bak", "not a skin"));
    files.push_back(TextFile("\\docs\\Beta.txt", "b"));
    files.push_back(TextFile("\\docs\\alpha.txt", "a"));
    // "武器" (weapons) in code page 936.
    files.push_back(TextFile("\\docs\\\xCE\xE4\xC6\xF7.txt", "sword"));
    files.push_back(TextFile("\\docs\\bad.dds", "DDS not really"));
    files.push_back(TextFile("\\docs\\bad.dds", "DDS not really"));
    return files;
}

class TreePaneTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        WriteGame(game.Path(), GameFiles());
    }

    // The commands the item's context menu shows, and whether each is enabled.
    std::map<uint16_t, bool> PopupFor(const QString& path) {
        Select(path);
        std::map<uint16_t, bool> enabled;
        if (auto menu = frame->Pane()->BuildPopup(frame->Tree()->currentIndex())) {
            for (QAction* a : menu->actions()) {
                if (a->isVisible()) {
                    enabled[static_cast<uint16_t>(a->data().toUInt())] = a->isEnabled();
                }
            }
        }
        return enabled;
    }

    TestUtil::TempDir game;
    TestUtil::TempDir out;
};

// The folder given at start shows its sorted tree; a folder without archives is said so and
// leaves the previous tree usable.
TEST_F(TreePaneTest, OpenShowsTheSortedTreeAndOnlyAGoodFolderReplacesIt) {
    frame->OpenGameFolder(QString::fromStdString(game.Path()));
    EXPECT_TRUE(answers.folderStarts.empty());
    EXPECT_TRUE(answers.messages.empty());
    EXPECT_EQ(Names(), QStringList({"chars", "docs"}));
    EXPECT_EQ(Names(Find("docs")), QStringList({"a.skn.bak", "alpha.txt", "bad.dds", "Beta.txt",
                                                "readme.txt", U("武器.txt")}));
    EXPECT_EQ(Names(Find("chars/hero")),
              QStringList({"hero.ani", "hero.dds", "hero.msh", "hero.skn"}));
    EXPECT_TRUE(frame->TreeModel()->IsFolder(Find("chars")));
    EXPECT_FALSE(frame->TreeModel()->IsFolder(Find("docs/readme.txt")));
    // The progress bar lives only while the tree is filled.
    EXPECT_EQ(frame->Status().Progress(), nullptr);

    TestUtil::TempDir empty;
    OpenThroughMenu(empty.Path());
    ASSERT_EQ(answers.Last(1),
              QString::fromStdString("where is the game ?!\n" + empty.Path() + ": no .pak in it"));
    EXPECT_TRUE(answers.messages[0].caption.isEmpty());
    EXPECT_EQ(answers.messages[0].icon, App::MsgIcon::Information);
    EXPECT_EQ(Names(), QStringList({"chars", "docs"}));
    // The entries behind the items still read.
    Choose("docs/readme.txt", Cmd::kExportFile, out.Path());
    EXPECT_EQ(TestUtil::ReadText(out / "readme.txt"), "read me");
}

// Archives that can't be read are skipped, and one message after the open lists them; a
// folder where none reads opens nothing, says why, and is not remembered.
TEST_F(TreePaneTest, ArchivesThatCantBeReadAreSkippedAndSaid) {
    Forge::SavePak(game / "cut.pak", GameFiles(), {.cutTo = 1000});
    Forge::SaveBytes(game / "empty.pak", {});
    TestUtil::TempDir unreadable;
    Forge::SaveBytes(unreadable / "empty.pak", {});
    OpenThroughMenu(game.Path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.messages.size() == 1; }));
    const QString text = answers.messages[0].text;
    EXPECT_TRUE(text.startsWith(U("这些档案无法读取, 已跳过:\ncut.pak: its file table at byte ")))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith("\nempty.pak: empty")) << text.toStdString();
    EXPECT_EQ(Names(), QStringList({"chars", "docs"}));
    EXPECT_EQ(App::RecentFolders(), QStringList({QString::fromStdString(game.Path())}));

    OpenThroughMenu(unreadable.Path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.messages.size() == 2; }));
    EXPECT_EQ(answers.messages[1].text,
              QString::fromStdString("where is the game ?!\n" + unreadable.Path() +
                                     ": no readable .pak in it\n\nempty.pak: empty"));
    EXPECT_EQ(App::RecentFolders(), QStringList({QString::fromStdString(game.Path())}));
    EXPECT_EQ(Names(), QStringList({"chars", "docs"}));
}

TEST_F(TreePaneTest, ContextMenuEnableRules) {
    OpenThroughMenu(game.Path());
    using Map = std::map<uint16_t, bool>;
    // A file's items with no model loaded: raw export, sources and axes, and `open`, the
    // item that opens its kind (by a substring: a.skn.bak counts as a skin).
    const auto fileMenu = [](uint16_t open) {
        Map items{{Cmd::kRenderSkin, false},    {Cmd::kApplyAnimate, false},
                  {Cmd::kExportAnimate, false}, {Cmd::kExportFile, true},
                  {Cmd::kConvertToObj, false},  {Cmd::kShowSources, true},
                  {Cmd::kShowAxes, true}};
        items[open] = true;
        return items;
    };
    // A skin takes a glTF edited elsewhere, loaded or not.
    Map skinMenu = fileMenu(Cmd::kRenderSkin);
    skinMenu[Cmd::kImportGltf] = true;
    EXPECT_EQ(PopupFor("chars/hero/hero.skn"), skinMenu);
    EXPECT_EQ(PopupFor("docs/a.skn.bak"), skinMenu);
    EXPECT_EQ(PopupFor("chars/hero/hero.ani"), fileMenu(Cmd::kApplyAnimate));
    EXPECT_EQ(PopupFor("chars/hero/hero.dds"), fileMenu(Cmd::kPreviewTexture));
    EXPECT_EQ(PopupFor("docs/readme.txt"), fileMenu(Cmd::kViewFile));
    // A folder offers its export and its gallery.
    EXPECT_EQ(PopupFor("chars/hero"),
              (Map{{Cmd::kExportFile, true}, {Cmd::kConvertToGltf, true}, {Cmd::kGallery, true}}));
    // An item other than the selected one opens nothing.
    Select("docs/readme.txt");
    EXPECT_EQ(frame->Pane()->BuildPopup(Find("docs/alpha.txt")), nullptr);
    EXPECT_EQ(frame->Pane()->BuildPopup(QModelIndex()), nullptr);

    // With a model loaded the skin also offers OBJ and the attachment.
    ChooseQuietly("chars/hero/hero.skn", Cmd::kRenderSkin);
    Map loaded = skinMenu;
    for (const uint16_t id :
         {Cmd::kConvertToObj, Cmd::kConvertToObjMtl, Cmd::kLoadAttachment, Cmd::kConvertToGltf}) {
        loaded[id] = true;
    }
    // FBX too when Blender is found (FbxCommandTest checks both ways).
    if (!Export::FindBlender().empty()) {
        loaded[Cmd::kConvertToFbx] = true;
    }
    EXPECT_EQ(PopupFor("chars/hero/hero.skn"), loaded);
    EXPECT_EQ(PopupFor("chars/hero/hero.ani"), fileMenu(Cmd::kApplyAnimate));
    // With an animation chosen the .ani offers the frame export.
    Choose("chars/hero/hero.ani", Cmd::kApplyAnimate);
    EXPECT_TRUE(PopupFor("chars/hero/hero.ani").at(Cmd::kExportAnimate));
}

TEST_F(TreePaneTest, RawExportThatCantBeWrittenSaysSoThenTheNextWorks) {
    OpenThroughMenu(game.Path());
    // A folder holding the file's name: no one, root included, can write the file.
    std::filesystem::create_directory(out / "武器.txt");
    Choose(U("docs/武器.txt"), Cmd::kExportFile, out.Path());
    ASSERT_EQ(answers.Last(1), U("can't write 武器.txt: Is a directory"));
    EXPECT_TRUE(std::filesystem::is_directory(out / "武器.txt"));

    // The next export into a good folder works and leaves the current directory as it was.
    std::filesystem::remove(out / "武器.txt");
    const auto before = std::filesystem::current_path();
    Choose(U("docs/武器.txt"), Cmd::kExportFile, out.Path());
    EXPECT_EQ(std::filesystem::current_path(), before);
    ASSERT_EQ(answers.Last(2), U("武器.txt 导出已完成."));
    EXPECT_TRUE(answers.messages[1].caption.isEmpty());
    EXPECT_EQ(TestUtil::ReadText(out / "武器.txt"), "sword");
    // Cancelled picker: nothing happens.
    Choose(U("docs/武器.txt"), Cmd::kExportFile);
    EXPECT_EQ(answers.messages.size(), 2u);
}

// A game folder given relative to the current directory (as scripts/demo gives it) still
// reads once an export has made the chosen folder current: the archives are found where they
// were when the folder was opened.
TEST_F(TreePaneTest, AGameFolderGivenRelativelyReadsFromAnyCurrentDirectory) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(game.Path()).parent_path());
    OpenThroughMenu(std::filesystem::path(game.Path()).filename());
    std::filesystem::current_path(before);
    ASSERT_EQ(Names(), QStringList({"chars", "docs"}));
    // No archive has been read yet: the first read happens inside the chosen folder.
    Choose("docs/readme.txt", Cmd::kExportFile, out.Path());
    ASSERT_EQ(answers.Last(1), U("readme.txt 导出已完成."));
    EXPECT_EQ(TestUtil::ReadText(out / "readme.txt"), "read me");
}

// The loaded model converted to OBJ (the current directory as it was) and to glTF; a glTF
// file that can't be written says so instead of done.
TEST_F(TreePaneTest, ModelConvertsToObjAndGltf) {
    OpenThroughMenu(game.Path());
    Choose("chars/hero/hero.skn", Cmd::kRenderSkin);
    const auto before = std::filesystem::current_path();
    Choose("chars/hero/hero.skn", Cmd::kConvertToObj, out.Path());
    EXPECT_EQ(std::filesystem::current_path(), before);
    ASSERT_EQ(answers.Last(1), U("已转换为工程文件 ."));
    EXPECT_NE(TestUtil::ReadText(out / "patch0_00.obj").find("Vell 模型浏览器v1.0a"),
              std::string::npos);

    answers.saveFiles.push_back(QString::fromStdString(out / "hero.glb"));
    Choose("chars/hero/hero.skn", Cmd::kConvertToGltf);
    ASSERT_EQ(answers.Last(2), U("已转换为glTF文件 ."));
    EXPECT_EQ(TestUtil::ReadText(out / "hero.glb").substr(0, 4), "glTF");
    // The file vell writes of the skin, byte for byte.
    const auto vell = TestUtil::Run(
        VELL_CLI_BINARY, {"gltf", game.Path(), "\\chars\\hero\\hero.skn", "-o", out / "vell.glb"});
    ASSERT_EQ(vell.exitCode, 0) << vell.err;
    EXPECT_EQ(TestUtil::ReadText(out / "hero.glb"), TestUtil::ReadText(out / "vell.glb"));
    answers.saveFiles.push_back(QString::fromStdString(out / "no-such-folder/hero.glb"));
    Choose("chars/hero/hero.skn", Cmd::kConvertToGltf);
    ASSERT_EQ(answers.messages.size(), 3u);
    EXPECT_FALSE(answers.messages[2].text.isEmpty());
    EXPECT_NE(answers.messages[2].text, U("已转换为glTF文件 ."));
}

TEST_F(TreePaneTest, SaveFileListWritesEveryEntry) {
    OpenThroughMenu(game.Path());
    answers.saveFiles.push_back(QString::fromStdString(out / "list.txt"));
    QTest::keyClick(frame.get(), Qt::Key_S, Qt::ControlModifier);
    const std::string list = TestUtil::ReadText(out / "list.txt");
    std::string expected;
    for (const Forge::PakFile& f : GameFiles()) {
        expected += Base::GbkToUtf8(f.path) + "\n";
    }
    EXPECT_EQ(list, expected);

    answers.saveFiles.push_back(QString::fromStdString(out / "missing-folder/list.txt"));
    QTest::keyClick(frame.get(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(answers.Last(1), "Save File Lists Failed!");
    EXPECT_EQ(answers.messages[0].caption, "TarnModelBrowser");
    EXPECT_EQ(answers.messages[0].icon, App::MsgIcon::Warning);
}

TEST_F(TreePaneTest, FilterShowsMatchesAndRestoresExpansion) {
    OpenThroughMenu(game.Path());
    App::CTreePane& pane = *frame->Pane();
    const App::CTreeModel* model = pane.Model();
    pane.Tree()->expand(model->index(1, 0));  // docs
    // Typed into the box, as the user does.
    QTest::keyClicks(pane.FilterBox(), "HERO.S");
    EXPECT_EQ(Names(), QStringList({"chars"}));
    EXPECT_EQ(Names(model->index(0, 0, model->index(0, 0))), QStringList({"hero.skn"}));
    pane.FilterBox()->setText(U("武器"));
    EXPECT_EQ(Names(), QStringList({"docs"}));
    EXPECT_EQ(Names(model->index(0, 0)), QStringList({U("武器.txt")}));
    pane.FilterBox()->setText("nothing like this");
    EXPECT_TRUE(Names().isEmpty());
    pane.FilterBox()->clear();
    EXPECT_EQ(Names(), QStringList({"chars", "docs"}));
    EXPECT_TRUE(pane.Tree()->isExpanded(model->index(1, 0)));
    EXPECT_FALSE(pane.Tree()->isExpanded(model->index(0, 0)));
}

TEST_F(TreePaneTest, DoubleClickAndEnterDoWhatTheMenuWould) {
    OpenThroughMenu(game.Path());
    DoubleClick("chars/hero/hero.skn");
    EXPECT_FALSE(View::GetModel()->IsEmpty());
    Select("chars/hero/hero.ani");
    frame->Tree()->setFocus();
    QTest::keyClick(frame->Tree(), Qt::Key_Return);
    EXPECT_EQ(frame->AnimationList()->count(), 2);

    // A texture opens its preview: decoded, with its size and format in the title.
    DoubleClick("chars/hero/hero.dds");
    auto* preview = Opened<App::CTexturePreview>(frame.get());
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->windowTitle(), "hero.dds - 4 x 4 RGBA");
    EXPECT_EQ(preview->Shown().size(), QSize(4, 4));
    EXPECT_EQ(preview->Shown().pixelColor(1, 1), QColor(200, 100, 50));
    preview->close();
    EXPECT_TRUE(answers.messages.empty());
    // One that can't be decoded says why.
    DoubleClick("docs/bad.dds");
    EXPECT_TRUE(answers.Last(1).startsWith("bad.dds: ")) << answers.Last(1).toStdString();
}

// The folder's files are written by worker threads while the window only shows progress
// and takes 取消: with the workers held back the window writes nothing itself, and a cancel
// then begins nothing more. Where no thread can be made, the window does the work a slice at
// a time.
TEST_F(TreePaneTest, FolderExportRunsOnWorkersWithProgressCancelAndCount) {
    OpenThroughMenu(game.Path());
    {
        ThreadSeam::Hold hold;
        Choose("docs", Cmd::kExportFile, out.Path());
        QTest::qWait(100);
        EXPECT_TRUE(answers.messages.empty());
        EXPECT_TRUE(TestUtil::FilesIn(out.Path()).empty());
        EXPECT_EQ(frame->Status().Text(), U("0/6"));
        QToolButton* cancel = frame->Status().CancelButton();
        ASSERT_NE(cancel, nullptr);
        QTest::mouseClick(cancel, Qt::LeftButton);
        hold.Release();
        ASSERT_TRUE(QTest::qWaitFor([&] { return answers.messages.size() == 1; }));
    }
    EXPECT_TRUE(answers.messages[0].text.startsWith(U("0 / 6 个文件已完成: ")));
    EXPECT_TRUE(answers.messages[0].text.contains(U("已取消.")));
    EXPECT_EQ(frame->Status().Progress(), nullptr);
    EXPECT_TRUE(TestUtil::FilesIn(out.Path()).empty());

    Choose("docs", Cmd::kExportFile, out.Path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.messages.size() == 2; }));
    const QString done = U("6 / 6 个文件已完成: ") + QString::fromStdString(out / "docs");
    EXPECT_EQ(answers.messages[1].text, done);
    EXPECT_EQ(TestUtil::ReadText(out / "docs/武器.txt"), "sword");
    EXPECT_EQ(TestUtil::ReadText(out / "docs/readme.txt"), "read me");
    EXPECT_EQ(frame->Status().Text(), done);

    {
        ThreadSeam::Allow none(0);
        Choose("docs", Cmd::kExportFile, out / "alone");
        ASSERT_TRUE(QTest::qWaitFor([&] { return answers.messages.size() == 3; }));
    }
    EXPECT_TRUE(answers.messages[2].text.startsWith(U("6 / 6 个文件已完成: ")));
    EXPECT_EQ(TestUtil::ReadText(out / "alone/docs/武器.txt"), "sword");
}

// Names that meet once made safe or cut are told apart, and the summary lists them: no file
// of the folder is lost.
TEST_F(TreePaneTest, FolderExportKeepsEveryFileWhoseNamesMeetAndSaysSo) {
    TestUtil::TempDir other;
    const std::string cut = TestUtil::Repeat("\xd6\xd0", 100) + ".dds";  // cut to 253 bytes
    const std::string fits = TestUtil::Repeat("\xd6\xd0", 83) + ".dds";  // 253 bytes already
    WriteGame(other.Path(), {TextFile("\\meet\\" + cut, "cut"), TextFile("\\meet\\" + fits, "fits"),
                             TextFile("\\meet\\.", "dot"), TextFile("\\meet\\..", "dots")});
    OpenThroughMenu(other.Path());
    Choose("meet", Cmd::kExportFile, out.Path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.messages.size() == 1; }));
    const QString summary = answers.messages[0].text;
    EXPECT_TRUE(summary.startsWith(U("4 / 4 个文件已完成: "))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(U("\n2 个已改名 (名称已被占用):\n"))) << summary.toStdString();
    const std::string zhong83 = TestUtil::Repeat("中", 83);
    EXPECT_TRUE(summary.contains(QString::fromStdString(out / ("meet/" + zhong83 + "~1.dds"))));
    EXPECT_EQ(TestUtil::ReadText(out / ("meet/" + zhong83 + ".dds")), "cut");
    EXPECT_EQ(TestUtil::ReadText(out / ("meet/" + zhong83 + "~1.dds")), "fits");
    EXPECT_EQ(TestUtil::ReadText(out / "meet/_"), "dot");
    EXPECT_EQ(TestUtil::ReadText(out / "meet/_~1"), "dots");
}

TEST_F(TreePaneTest, FolderConvertsEveryModelToGltfAndObjWithMaterials) {
    // An animation file beside the hero that can't be used: left out with a warning.
    std::vector<Forge::PakFile> files = GameFiles();
    files.push_back(TextFile("\\chars\\hero\\zz_broken.ani", "no animation"));
    WriteGame(game.Path(), files);
    OpenThroughMenu(game.Path());
    Choose("chars", Cmd::kConvertToGltf, out.Path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.messages.size() == 1; }));
    const QString summary = answers.messages[0].text;
    EXPECT_FALSE(summary.contains(U("失败"))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(U("\n1 个警告:\nhero/hero.skn: zz_broken.ani: ")))
        << summary.toStdString();
    EXPECT_EQ(TestUtil::ReadText(out / "hero/hero.glb").substr(0, 4), "glTF");

    Choose("chars/hero/hero.skn", Cmd::kRenderSkin);
    answers.folders.push_back(QString::fromStdString(out / "obj"));
    std::filesystem::create_directory(out / "obj");
    Choose("chars/hero/hero.skn", Cmd::kConvertToObjMtl);
    EXPECT_NE(TestUtil::ReadText(out / "obj/patch0_00.obj").find("mtllib "), std::string::npos);
}

// While a folder job runs, a second one says so before it asks for anything.
TEST_F(TreePaneTest, SecondFolderJobSaysOneRunsBeforeAsking) {
    OpenThroughMenu(game.Path());
    // The first job's workers held back: it runs until it is cancelled.
    ThreadSeam::Hold hold;
    Choose("docs", Cmd::kExportFile, out.Path());
    ASSERT_NE(frame->Status().CancelButton(), nullptr);
    const std::size_t asked = answers.folderStarts.size();
    for (const uint16_t command : {Cmd::kExportFile, Cmd::kConvertToGltf}) {
        answers.messages.clear();
        Choose("chars", command);
        ASSERT_EQ(answers.messages.size(), 1u) << command;
        EXPECT_EQ(answers.messages[0].text, U(App::kFolderJobRuns)) << command;
        EXPECT_EQ(answers.folderStarts.size(), asked) << command;
    }
    QTest::mouseClick(frame->Status().CancelButton(), Qt::LeftButton);
    hold.Release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.messages.size() == 2; }));
    EXPECT_TRUE(answers.messages[1].text.contains(U("已取消.")));
}

// The pickers open where the user would look: 打开 in the game shown, a save dialog with a
// name; a folder that fails to open is neither remembered nor listed.
TEST_F(TreePaneTest, DialogsStartWhereTheUserWouldLook) {
    TestUtil::TempDir other;
    TestUtil::TempDir empty;
    App::SetLastFolder(App::kGameFolderKind, QString::fromStdString(other.Path()));
    const QString shown = QString::fromStdString(game.Path());
    frame->OpenGameFolder(shown);  // as from the command line
    OpenThroughMenu(empty.Path());
    ASSERT_TRUE(answers.Last(1).startsWith("where is the game ?!\n"));
    OpenThroughMenu("");  // cancelled
    EXPECT_EQ(answers.folderStarts, std::vector<QString>({shown, shown}));
    EXPECT_EQ(App::LastFolder(App::kGameFolderKind), shown);
    EXPECT_EQ(App::RecentFolders(), QStringList({shown}));

    Choose("chars/hero/hero.skn", Cmd::kRenderSkin);
    Choose("chars/hero/hero.skn", Cmd::kConvertToGltf);
    App::SetLastFolder(App::kGltfExportKind, QString::fromStdString(out.Path()));
    Choose("chars/hero/hero.skn", Cmd::kConvertToGltf);
    AcceptNextDialog();
    Press("Ctrl+Shift+S");
    ASSERT_EQ(answers.saveStarts.size(), 3u);
    EXPECT_EQ(answers.saveStarts[0], "hero.glb");
    EXPECT_EQ(answers.saveStarts[1], QString::fromStdString(out / "hero.glb"));
    // The model's name and the moment: "hero 2026-12-07 20.15.03.png".
    const QRegularExpression shotName(
        QStringLiteral("^hero \\d{4}-\\d\\d-\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d\\.png$"));
    EXPECT_TRUE(shotName.match(answers.saveStarts[2]).hasMatch())
        << answers.saveStarts[2].toStdString();
}

// Another folder replaces the tree, opened through the menu, the recent list or a drop.
TEST_F(TreePaneTest, RecentAndDroppedFoldersOpen) {
    TestUtil::TempDir other;
    WriteGame(other.Path(), {TextFile("\\maps\\m.txt", "m")});
    OpenThroughMenu(game.Path());
    OpenThroughMenu(other.Path());
    EXPECT_EQ(Names(), QStringList({"maps"}));
    EXPECT_EQ(Names(Find("maps")), QStringList({"m.txt"}));
    EXPECT_EQ(App::RecentFolders(), QStringList({QString::fromStdString(other.Path()),
                                                 QString::fromStdString(game.Path())}));
    // 文件 / 最近打开 / an entry, by keys.
    const auto openRecent = [&](int entry) {
        frame->activateWindow();
        Press("Alt+F");
        ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget(); }));
        // The menu opens on its first item.
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Right}) {
            QTest::keyClick(QApplication::activePopupWidget(), key);
        }
        ASSERT_EQ(QApplication::activePopupWidget(), frame->RecentMenu());
        for (int i = 0; i < entry; ++i) {
            QTest::keyClick(frame->RecentMenu(), Qt::Key_Down);
        }
        QTest::keyClick(frame->RecentMenu(), Qt::Key_Return);
    };
    openRecent(1);
    EXPECT_EQ(Names(), QStringList({"chars", "docs"}));

    // Dropped on the window: an archive opens its folder.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(other / "data.pak"))});
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(frame.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(frame.get(), &drop);
    EXPECT_EQ(Names(), QStringList({"maps"}));

    // A folder that is gone is said so and dropped from the list.
    std::filesystem::remove_all(game.Path());
    openRecent(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.messages.size() == 1; }));
    EXPECT_TRUE(answers.messages[0].text.endsWith(U(" 已不存在.")));
    EXPECT_EQ(App::RecentFolders(), QStringList({QString::fromStdString(other.Path())}));
    // So is one that holds no archive any more; the game shown stays.
    std::filesystem::remove(other / "data.pak");
    openRecent(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.messages.size() == 2; }));
    EXPECT_TRUE(answers.messages[1].text.startsWith("where is the game ?!\n"));
    EXPECT_TRUE(App::RecentFolders().isEmpty());
    EXPECT_EQ(Names(), QStringList({"maps"}));
}

}  // namespace
