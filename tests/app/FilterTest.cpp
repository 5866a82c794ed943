// The tree's filter typed into its box: plain text as a part of names, wildcards over whole
// names, paths over the folders above, and a note over the tree when nothing matches.
#include <QLabel>
#include <QLineEdit>

#include "AppTestUtil.h"
#include "TreePane.h"

namespace {

using namespace AppTest;

std::vector<Forge::PakFile> FilterGame() {
    std::vector<Forge::PakFile> files;
    for (const char* path :
         {"\\chars\\hero\\walk.ani", "\\chars\\hero\\run.ani", "\\chars\\hero\\hero_1.dds",
          "\\chars\\hero\\hero_12.dds", "\\chars\\hero\\HERO.skn", "\\chars\\orc\\walk.ani",
          "\\chars\\orc\\orc.skn", "\\npc\\chars\\hero\\idle.ani", "\\docs\\readme.txt",
          // "武器_1.dds" (weapons) in code page 936.
          "\\docs\\\xCE\xE4\xC6\xF7_1.dds"}) {
        files.push_back(TextFile(path, "x"));
    }
    return files;
}

struct FilterRow {
    const char* text;  // typed into the box
    std::vector<const char*> files;
};

const FilterRow kRows[] = {
    {"walk", {"chars/hero/walk.ani", "chars/orc/walk.ani"}},
    {"HERO_1", {"chars/hero/hero_1.dds", "chars/hero/hero_12.dds"}},
    {"*.skn", {"chars/hero/HERO.skn", "chars/orc/orc.skn"}},
    {"*.SKN", {"chars/hero/HERO.skn", "chars/orc/orc.skn"}},
    {"hero_?.dds", {"chars/hero/hero_1.dds"}},
    {"hero_*.dds", {"chars/hero/hero_1.dds", "chars/hero/hero_12.dds"}},
    {"*_1*", {"chars/hero/hero_1.dds", "chars/hero/hero_12.dds", "docs/武器_1.dds"}},
    {"??_1.dds", {"docs/武器_1.dds"}},
    {"chars/hero/*.ani", {"chars/hero/run.ani", "chars/hero/walk.ani", "npc/chars/hero/idle.ani"}},
    {"chars\\hero\\*.ani",
     {"chars/hero/run.ani", "chars/hero/walk.ani", "npc/chars/hero/idle.ani"}},
    {"/chars/hero/*.ani", {"chars/hero/run.ani", "chars/hero/walk.ani"}},
    {"chars/*/walk.ani", {"chars/hero/walk.ani", "chars/orc/walk.ani"}},
    {"hero/walk.ani", {"chars/hero/walk.ani"}},
    {"npc/", {"npc/chars/hero/idle.ani"}},
    {"/hero/", {}},
    {"docs/*", {"docs/readme.txt", "docs/武器_1.dds"}},
    {"chars/hero", {}},
    {"*.xyz", {}},
    {"nothing like this", {}},
};

class FilterTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        WriteGame(game.Path(), FilterGame());
        OpenThroughMenu(game.Path());
    }

    // The files the tree shows, as paths, in the tree's order.
    QStringList ShownFiles(const QModelIndex& parent = {}, const QString& above = {}) {
        QStringList files;
        App::CTreeModel* model = frame->TreeModel();
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex child = model->index(row, 0, parent);
            const QString path = above + child.data().toString();
            files << (model->IsFolder(child) ? ShownFiles(child, path + '/') : QStringList{path});
        }
        return files;
    }

    TestUtil::TempDir game;
};

TEST_F(FilterTest, RowsOfTextsAndTheFilesTheyShow) {
    QLineEdit* box = frame->Pane()->FilterBox();
    const QLabel* note = frame->Pane()->NoMatchNote();
    for (const FilterRow& row : kRows) {
        box->clear();
        const QString text = QString::fromUtf8(row.text);
        box->setFocus();
        QTest::keyClicks(box, text);
        ASSERT_EQ(box->text(), text);
        QStringList expected;
        for (const char* file : row.files) {
            expected << QString::fromUtf8(file);
        }
        EXPECT_EQ(ShownFiles(), expected) << row.text;
        EXPECT_EQ(note->isVisible(), expected.isEmpty()) << row.text;
    }
    box->clear();
    EXPECT_EQ(ShownFiles().size(), static_cast<qsizetype>(FilterGame().size()));
    EXPECT_FALSE(note->isVisible());
}

// The note says so in the language in use, over the tree.
TEST_F(FilterTest, NothingMatchesIsSaidInTheTree) {
    QTest::keyClicks(frame->Pane()->FilterBox(), "*.xyz");
    const QLabel* note = frame->Pane()->NoMatchNote();
    ASSERT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), U("没有相符的文件"));
    EXPECT_EQ(note->parentWidget(), frame->Tree()->viewport());
    ChooseLanguage(App::Language::English);
    EXPECT_EQ(note->text(), U("No files match"));
}

}  // namespace
