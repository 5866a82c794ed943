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

// The height of everything a .glb file's meshes hold, from its position bounds.
double GlbHeight(const std::string& path) {
    const std::string bytes = TestUtil::ReadText(path);
    constexpr std::size_t kJsonStart = 20;  // header and the JSON chunk's own header
    uint32_t length = 0;
    if (bytes.size() < kJsonStart) {
        return -1;
    }
    std::memcpy(&length, bytes.data() + 12, sizeof length);
    const QJsonObject json =
        QJsonDocument::fromJson(
            QByteArray(bytes.data() + kJsonStart, static_cast<qsizetype>(std::min<std::size_t>(
                                                      length, bytes.size() - kJsonStart))))
            .object();
    double low = 1e30, high = -1e30;
    for (const QJsonValue& mesh : json["meshes"].toArray()) {
        for (const QJsonValue& primitive : mesh["primitives"].toArray()) {
            const QJsonObject accessor =
                json["accessors"][primitive["attributes"]["POSITION"].toInt()].toObject();
            low = std::min(low, accessor["min"][1].toDouble());
            high = std::max(high, accessor["max"][1].toDouble());
        }
    }
    return high - low;
}

class TreePaneTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        WriteGame(game.Path(), GameFiles());
    }

    std::map<uint16_t, bool> Enabled(QMenu& menu) {
        std::map<uint16_t, bool> enabled;
        for (QAction* a : menu.actions()) {
            if (a->isVisible()) {
                enabled[static_cast<uint16_t>(a->data().toUInt())] = a->isEnabled();
            }
        }
        return enabled;
    }

    std::map<uint16_t, bool> PopupFor(const QString& path) {
        Select(path);
        auto menu = frame->Pane()->BuildPopup(frame->Tree()->currentIndex());
        return menu ? Enabled(*menu) : std::map<uint16_t, bool>{};
    }

    // The names below an item of the tree, the top level by default.
    QStringList Names(const QModelIndex& parent = {}) {
        QStringList names;
        for (int row = 0; row < frame->TreeModel()->rowCount(parent); ++row) {
            names << frame->TreeModel()->index(row, 0, parent).data().toString();
        }
        return names;
    }

    TestUtil::TempDir game;
    TestUtil::TempDir out;
};

// The folder given at start shows its sorted tree; a folder without archives is said so and
// leaves the previous tree usable; another folder replaces the tree.
TEST_F(TreePaneTest, OpenShowsTheSortedTreeAndOnlyAGoodFolderReplacesIt) {
    frame->OpenGameFolder(QString::fromStdString(game.Path()));
    EXPECT_EQ(answers.folderRequests, 0);
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
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_EQ(answers.messages[0].text, "where is the game ?!");
    EXPECT_TRUE(answers.messages[0].caption.isEmpty());
    EXPECT_EQ(answers.messages[0].icon, App::MsgIcon::Information);
    EXPECT_EQ(Names(), QStringList({"chars", "docs"}));
    // The entries behind the items still read.
    answers.folders.push_back(QString::fromStdString(out.Path()));
    Choose("docs/readme.txt", Cmd::kExportFile);
    EXPECT_EQ(TestUtil::ReadText(out / "readme.txt"), "read me");

    TestUtil::TempDir other;
    WriteGame(other.Path(), {TextFile("\\maps\\m.txt", "m")});
    OpenThroughMenu(other.Path());
    EXPECT_EQ(Names(), QStringList({"maps"}));
    EXPECT_EQ(Names(Find("maps")), QStringList({"m.txt"}));
}

TEST_F(TreePaneTest, ContextMenuEnableRules) {
    OpenThroughMenu(game.Path());
    using Map = std::map<uint16_t, bool>;
    // No model loaded: a skin offers loading and raw export only.
    EXPECT_EQ(PopupFor("chars/hero/hero.skn"), (Map{{Cmd::kRenderSkin, true},
                                                    {Cmd::kApplyAnimate, false},
                                                    {Cmd::kExportAnimate, false},
                                                    {Cmd::kExportFile, true},
                                                    {Cmd::kConvertToObj, false},
                                                    {Cmd::kShowSources, true},
                                                    {Cmd::kShowAxes, true}}));
    EXPECT_EQ(PopupFor("chars/hero/hero.ani"), (Map{{Cmd::kRenderSkin, false},
                                                    {Cmd::kApplyAnimate, true},
                                                    {Cmd::kExportAnimate, false},
                                                    {Cmd::kExportFile, true},
                                                    {Cmd::kConvertToObj, false},
                                                    {Cmd::kShowSources, true},
                                                    {Cmd::kShowAxes, true}}));
    // A substring test: a.skn.bak counts as a skin.
    EXPECT_TRUE(PopupFor("docs/a.skn.bak")[Cmd::kRenderSkin]);
    const Map plain = PopupFor("docs/readme.txt");
    EXPECT_TRUE(plain.at(Cmd::kExportFile));
    EXPECT_FALSE(plain.at(Cmd::kRenderSkin));
    EXPECT_FALSE(plain.at(Cmd::kApplyAnimate));

    // A folder offers its export; a texture its preview.
    EXPECT_EQ(PopupFor("chars/hero"), (Map{{Cmd::kExportFile, true}, {Cmd::kConvertToGltf, true}}));
    EXPECT_TRUE(PopupFor("chars/hero/hero.dds").at(Cmd::kPreviewTexture));
    EXPECT_EQ(PopupFor("chars/hero/hero.skn").count(Cmd::kPreviewTexture), 0u);
    // An item other than the selected one opens nothing.
    Select("docs/readme.txt");
    EXPECT_EQ(frame->Pane()->BuildPopup(Find("docs/alpha.txt")), nullptr);
    EXPECT_EQ(frame->Pane()->BuildPopup(QModelIndex()), nullptr);

    // With a model loaded the skin also offers OBJ and the attachment.
    Choose("chars/hero/hero.skn", Cmd::kRenderSkin);
    ASSERT_TRUE(answers.messages.empty()) << answers.messages[0].text.toStdString();
    const Map loaded = PopupFor("chars/hero/hero.skn");
    EXPECT_TRUE(loaded.at(Cmd::kConvertToObj));
    EXPECT_TRUE(loaded.at(Cmd::kConvertToObjMtl));
    EXPECT_TRUE(loaded.at(Cmd::kLoadAttachment));
    EXPECT_TRUE(loaded.at(Cmd::kConvertToGltf));
    EXPECT_EQ(PopupFor("chars/hero/hero.ani").count(Cmd::kConvertToGltf), 0u);
    // With an animation chosen the .ani offers the frame export.
    Choose("chars/hero/hero.ani", Cmd::kApplyAnimate);
    EXPECT_TRUE(PopupFor("chars/hero/hero.ani").at(Cmd::kExportAnimate));
}

TEST_F(TreePaneTest, RawExportThatCantBeWrittenSaysSoThenTheNextWorks) {
    OpenThroughMenu(game.Path());
    // A folder holding the file's name: no one, root included, can write the file.
    std::filesystem::create_directory(out / "武器.txt");
    answers.folders.push_back(QString::fromStdString(out.Path()));
    Choose(U("docs/武器.txt"), Cmd::kExportFile);
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_EQ(answers.messages[0].text, U("can't write 武器.txt: Is a directory"));
    EXPECT_TRUE(std::filesystem::is_directory(out / "武器.txt"));

    // The next export into a good folder works and leaves the current directory as it was.
    std::filesystem::remove(out / "武器.txt");
    const auto before = std::filesystem::current_path();
    answers.folders.push_back(QString::fromStdString(out.Path()));
    Choose(U("docs/武器.txt"), Cmd::kExportFile);
    EXPECT_EQ(std::filesystem::current_path(), before);
    ASSERT_EQ(answers.messages.size(), 2u);
    EXPECT_EQ(answers.messages[1].text, U("武器.txt 导出已完成."));
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
    answers.folders.push_back(QString::fromStdString(out.Path()));
    Choose("docs/readme.txt", Cmd::kExportFile);
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_EQ(answers.messages[0].text, U("readme.txt 导出已完成."));
    EXPECT_EQ(TestUtil::ReadText(out / "readme.txt"), "read me");
}

// The loaded model converted to OBJ (the current directory as it was) and to glTF; a glTF
// file that can't be written says so instead of done.
TEST_F(TreePaneTest, ModelConvertsToObjAndGltf) {
    OpenThroughMenu(game.Path());
    Choose("chars/hero/hero.skn", Cmd::kRenderSkin);
    const auto before = std::filesystem::current_path();
    answers.folders.push_back(QString::fromStdString(out.Path()));
    Choose("chars/hero/hero.skn", Cmd::kConvertToObj);
    EXPECT_EQ(std::filesystem::current_path(), before);
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_EQ(answers.messages[0].text, U("已转换为工程文件 ."));
    EXPECT_NE(TestUtil::ReadText(out / "patch0_00.obj").find("Vell 模型浏览器v1.0a"),
              std::string::npos);

    answers.saveFiles.push_back(QString::fromStdString(out / "hero.glb"));
    Choose("chars/hero/hero.skn", Cmd::kConvertToGltf);
    ASSERT_EQ(answers.messages.size(), 2u);
    EXPECT_EQ(answers.messages[1].text, U("已转换为glTF文件 ."));
    EXPECT_EQ(TestUtil::ReadText(out / "hero.glb").substr(0, 4), "glTF");
    // In metres, as vell writes it: the character's 100 units are 1 m.
    EXPECT_NEAR(GlbHeight(out / "hero.glb"), 1.0, 1e-6);
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
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_EQ(answers.messages[0].text, "Save File Lists Failed!");
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
    QTreeView* tree = frame->Tree();
    const auto rect = [&](const char* path) {
        const QModelIndex index = Find(path);
        tree->doItemsLayout();
        tree->scrollTo(index);
        return tree->viewport()->mapTo(frame.get(), tree->visualRect(index).center());
    };
    QTest::mouseDClick(frame->windowHandle(), Qt::LeftButton, {}, rect("chars/hero/hero.skn"));
    EXPECT_FALSE(View::GetModel()->IsEmpty());
    Select("chars/hero/hero.ani");
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_EQ(frame->AnimationList()->count(), 2);

    // A texture opens its preview: decoded, with its size and format in the title.
    QTest::mouseDClick(frame->windowHandle(), Qt::LeftButton, {}, rect("chars/hero/hero.dds"));
    App::CTexturePreview* preview = nullptr;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return (preview = frame->findChild<App::CTexturePreview*>()); }));
    EXPECT_EQ(preview->windowTitle(), "hero.dds - 4 x 4 RGBA");
    EXPECT_EQ(preview->Shown().size(), QSize(4, 4));
    EXPECT_EQ(preview->Shown().pixelColor(1, 1), QColor(200, 100, 50));
    preview->close();
    EXPECT_TRUE(answers.messages.empty());
    // One that can't be decoded says why.
    QTest::mouseDClick(frame->windowHandle(), Qt::LeftButton, {}, rect("docs/bad.dds"));
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_TRUE(answers.messages[0].text.startsWith("bad.dds: "))
        << answers.messages[0].text.toStdString();
}

// The folder's files are written by worker threads while the window only shows progress
// and takes 取消: with the workers held back the window writes nothing itself, and a cancel
// then begins nothing more. Where no thread can be made, the window does the work a slice at
// a time.
TEST_F(TreePaneTest, FolderExportRunsOnWorkersWithProgressCancelAndCount) {
    OpenThroughMenu(game.Path());
    const auto exportDocs = [&](const std::string& to) {
        answers.folders.push_back(QString::fromStdString(to));
        Choose("docs", Cmd::kExportFile);
    };
    {
        ThreadSeam::Hold hold;
        exportDocs(out.Path());
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

    exportDocs(out.Path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.messages.size() == 2; }));
    EXPECT_EQ(answers.messages[1].text,
              U("6 / 6 个文件已完成: ") + QString::fromStdString(out / "docs"));
    EXPECT_EQ(TestUtil::ReadText(out / "docs/武器.txt"), "sword");
    EXPECT_EQ(TestUtil::ReadText(out / "docs/readme.txt"), "read me");
    EXPECT_EQ(frame->Status().Text(),
              U("6 / 6 个文件已完成: ") + QString::fromStdString(out / "docs"));

    {
        ThreadSeam::Allow none(0);
        exportDocs(out / "alone");
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
    answers.folders.push_back(QString::fromStdString(out.Path()));
    Choose("meet", Cmd::kExportFile);
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
    answers.folders.push_back(QString::fromStdString(out.Path()));
    Choose("chars", Cmd::kConvertToGltf);
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
    answers.folders.push_back(QString::fromStdString(out.Path()));
    Choose("docs", Cmd::kExportFile);
    ASSERT_NE(frame->Status().CancelButton(), nullptr);
    const int asked = answers.folderRequests;
    for (const uint16_t command : {Cmd::kExportFile, Cmd::kConvertToGltf}) {
        answers.messages.clear();
        Choose("chars", command);
        ASSERT_EQ(answers.messages.size(), 1u) << command;
        EXPECT_EQ(answers.messages[0].text, U(App::kFolderJobRuns)) << command;
        EXPECT_EQ(answers.folderRequests, asked) << command;
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
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_EQ(answers.messages[0].text, "where is the game ?!");
    OpenThroughMenu("");  // cancelled
    EXPECT_EQ(answers.folderStarts, std::vector<QString>({shown, shown}));
    EXPECT_EQ(App::LastFolder(App::kGameFolderKind), shown);
    EXPECT_EQ(App::RecentFolders(), QStringList({shown}));

    Choose("chars/hero/hero.skn", Cmd::kRenderSkin);
    Choose("chars/hero/hero.skn", Cmd::kConvertToGltf);
    App::SetLastFolder(App::kGltfExportKind, QString::fromStdString(out.Path()));
    Choose("chars/hero/hero.skn", Cmd::kConvertToGltf);
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

TEST_F(TreePaneTest, RecentAndDroppedFoldersOpen) {
    TestUtil::TempDir other;
    WriteGame(other.Path(), {TextFile("\\maps\\m.txt", "m")});
    OpenThroughMenu(game.Path());
    OpenThroughMenu(other.Path());
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
    EXPECT_EQ(answers.messages[1].text, QStringLiteral("where is the game ?!"));
    EXPECT_TRUE(App::RecentFolders().isEmpty());
    EXPECT_EQ(Names(), QStringList({"maps"}));
}

}  // namespace
