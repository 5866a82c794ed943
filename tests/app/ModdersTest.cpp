// For modders: a file's tool tip names its archive and the copies it overrides, 来源 lists
// its records, the switch beside the filter keeps only overriding files, and 文件 / 比较...
// marks what an update added and changed and lists what it removed.
#include <QHelpEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QTableWidget>
#include <QToolButton>
#include <QToolTip>

#include "AppTestUtil.h"
#include "CommandTable.h"
#include "StatusLine.h"
#include "ThreadSeam.h"
#include "TreePane.h"

namespace {

using namespace AppTest;
namespace Cmd = App::Cmd;

class ModdersTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        // The update's archive sorts first: its copy of shared.txt wins over base.pak's two.
        Forge::SavePak(newer / "0_update.pak", {TextFile("\\docs\\shared.txt", "update"),
                                                TextFile("\\docs\\new.txt", "new")});
        Forge::SavePak(
            newer / "base.pak",
            {TextFile("\\docs\\shared.txt", "base"), TextFile("\\docs\\shared.txt", "base again"),
             TextFile("\\docs\\same.txt", "same"), TextFile("\\docs\\alone.txt", "alone")});
        Forge::SavePak(
            older / "base.pak",
            {TextFile("\\docs\\shared.txt", "base"), TextFile("\\docs\\same.txt", "same"),
             TextFile("\\docs\\alone.txt", "before"), TextFile("\\docs\\gone.txt", "gone")});
        OpenThroughMenu(newer.Path());
    }

    // The tool tip the tree shows with the mouse resting on the item.
    QString ToolTipAt(const QString& path) {
        QTreeView* tree = frame->Tree();
        const QPoint at = ItemPoint(path);
        QTest::mouseMove(tree->viewport(), at);
        QHelpEvent event(QEvent::ToolTip, at, tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree->viewport(), &event);
        const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
        QToolTip::hideText();
        return text;
    }

    TestUtil::TempDir newer;
    TestUtil::TempDir older;
};

TEST_F(ModdersTest, ToolTipNamesTheArchiveAndTheCopiesOverridden) {
    EXPECT_EQ(ToolTipAt("docs/shared.txt"), U("来自 0_update.pak, 覆盖 2 个副本"));
    EXPECT_EQ(ToolTipAt("docs/alone.txt"), U("来自 base.pak"));
    EXPECT_EQ(Find("docs").data(Qt::ToolTipRole).toString(), QString());
}

// 来源 lists the records as `vell which` does, as a table: the winner first, then the copies in
// list order, each with its archive, sizes, offset and entry index.
TEST_F(ModdersTest, SourcesListsEveryRecordWinnerFirst) {
    Choose("docs/shared.txt", Cmd::kShowSources);
    QTableWidget* table = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        table = frame->findChild<QTableWidget*>(QStringLiteral("sourcesTable"));
        return table && table->isVisible();
    }));
    EXPECT_TRUE(answers.messages.empty());
    const QStringList columns = {U("包"), U("大小"), U("压缩大小"), U("偏移"), U("序号")};
    ASSERT_EQ(table->columnCount(), columns.size());
    for (int c = 0; c < columns.size(); ++c) {
        EXPECT_EQ(table->horizontalHeaderItem(c)->text(), columns[c]);
    }
    const auto row = [&](int r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c) {
            cells << table->item(r, c)->text();
        }
        return cells;
    };
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(row(0).mid(0, 2), QStringList({"0_update.pak", "6"}));
    EXPECT_EQ(row(0)[3], U("268"));
    EXPECT_EQ(row(0)[4], U("0"));
    EXPECT_EQ(row(1)[0], U("base.pak"));
    EXPECT_EQ(row(1)[4], U("2"));
    EXPECT_EQ(row(2)[1], U("10"));
    EXPECT_EQ(row(2)[4], U("3"));
}

// The switch keeps only the files that override copies, with the text filter too; off again,
// the whole tree is back.
TEST_F(ModdersTest, OverriddenOnlySwitchNarrowsTheTree) {
    QToolButton* only = frame->Pane()->OverriddenOnlySwitch();
    QTest::mouseClick(only, Qt::LeftButton);
    EXPECT_TRUE(only->isChecked());
    EXPECT_EQ(Names(Find("docs")), QStringList({"shared.txt"}));
    QTest::keyClicks(frame->Pane()->FilterBox(), "alone");
    EXPECT_EQ(frame->TreeModel()->rowCount(), 0);
    frame->Pane()->FilterBox()->clear();
    QTest::mouseClick(only, Qt::LeftButton);
    EXPECT_FALSE(only->isChecked());
    EXPECT_EQ(Names(Find("docs")), QStringList({"alone.txt", "new.txt", "same.txt", "shared.txt"}));
}

// 文件 / 比较... against the older folder: new.txt added, alone.txt and shared.txt changed
// (shared.txt now comes from the update's archive), same.txt unmarked; gone.txt listed.
TEST_F(ModdersTest, CompareMarksAddedAndChangedAndListsRemoved) {
    answers.folders.push_back(QString::fromStdString(older.Path()));
    ClickMenuItem(Cmd::kFileCompare);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answers.messages.empty(); }));
    const auto mark = [&](const char* path) {
        return Find(U(path)).data(App::CTreeModel::kMarkRole).toString();
    };
    EXPECT_EQ(mark("docs/new.txt"), U("+"));
    EXPECT_EQ(mark("docs/alone.txt"), U("M"));
    EXPECT_EQ(mark("docs/shared.txt"), U("M"));
    EXPECT_EQ(mark("docs/same.txt"), QString());
    EXPECT_NE(Find(U("docs/new.txt")).data(Qt::ForegroundRole), QVariant());
    ASSERT_FALSE(answers.messages.empty());
    EXPECT_TRUE(answers.messages.back().text.endsWith(U("1 个新增, 2 个已更改, 1 个已删除")))
        << answers.messages.back().text.toStdString();
    auto* removed = frame->findChild<QListWidget*>(QStringLiteral("removedList"));
    ASSERT_NE(removed, nullptr);
    ASSERT_EQ(removed->count(), 1);
    EXPECT_EQ(removed->item(0)->text(), U("docs/gone.txt"));
    // Tool tips show in the active window: the list's goes first.
    removed->window()->close();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    EXPECT_EQ(ToolTipAt("docs/new.txt"), U("来自 0_update.pak\n比较: 新增"));

    // Opening a folder again forgets the marks.
    OpenThroughMenu(newer.Path());
    EXPECT_EQ(mark("docs/new.txt"), QString());
}

// After a comparison 仅变更 keeps the marked files, with the text filter too, and the folder
// holding them is marked; another folder opened takes the switch away with the marks.
TEST_F(ModdersTest, ChangedOnlySwitchKeepsTheMarkedFiles) {
    QToolButton* only = frame->Pane()->MarkedOnlySwitch();
    EXPECT_FALSE(only->isVisible());
    answers.folders.push_back(QString::fromStdString(older.Path()));
    ClickMenuItem(Cmd::kFileCompare);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answers.messages.empty(); }));
    ASSERT_TRUE(only->isVisible());
    EXPECT_EQ(only->text(), U("仅变更"));
    EXPECT_EQ(Find(U("docs")).data(App::CTreeModel::kMarkRole).toString(), U("M"));
    EXPECT_NE(Find(U("docs")).data(Qt::ForegroundRole), QVariant());
    QTest::mouseClick(only, Qt::LeftButton);
    ASSERT_TRUE(only->isChecked());
    EXPECT_EQ(Names(Find("docs")), QStringList({"alone.txt", "new.txt", "shared.txt"}));
    QTest::keyClicks(frame->Pane()->FilterBox(), "n*");
    EXPECT_EQ(Names(Find("docs")), QStringList({"new.txt"}));
    frame->Pane()->FilterBox()->clear();
    EXPECT_EQ(Names(Find("docs")), QStringList({"alone.txt", "new.txt", "shared.txt"}));
    QTest::mouseClick(only, Qt::LeftButton);
    EXPECT_EQ(Names(Find("docs")), QStringList({"alone.txt", "new.txt", "same.txt", "shared.txt"}));

    QTest::mouseClick(only, Qt::LeftButton);
    frame->findChild<QListWidget*>(QStringLiteral("removedList"))->window()->close();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    OpenThroughMenu(newer.Path());
    EXPECT_FALSE(only->isVisible());
    EXPECT_FALSE(only->isChecked());
    EXPECT_EQ(Names(Find("docs")), QStringList({"alone.txt", "new.txt", "same.txt", "shared.txt"}));
}

// The comparison runs on workers as a folder job does: with them held back the window
// answers and shows progress with 取消; cancelled, it marks nothing; done, the line counted
// every common file.
TEST_F(ModdersTest, CompareRunsOnWorkersWithProgressAndCancel) {
    {
        ThreadSeam::Hold hold;
        answers.folders.push_back(QString::fromStdString(older.Path()));
        ClickMenuItem(Cmd::kFileCompare);
        QTest::qWait(100);
        EXPECT_TRUE(answers.messages.empty());
        EXPECT_EQ(frame->Status().Text(), U("0/3"));  // shared, same and alone
        QToolButton* cancel = frame->Status().CancelButton();
        ASSERT_NE(cancel, nullptr);
        QTest::mouseClick(cancel, Qt::LeftButton);
        hold.Release();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->Pane()->Job()->Running(); }));
    }
    EXPECT_TRUE(answers.messages.empty());
    EXPECT_EQ(frame->Status().Text(), U("比较已取消."));
    EXPECT_EQ(frame->Status().Progress(), nullptr);
    EXPECT_EQ(Find(U("docs/new.txt")).data(App::CTreeModel::kMarkRole).toString(), QString());

    // Another folder job waits for the comparison, as for one another.
    {
        ThreadSeam::Hold hold;
        answers.folders.push_back(QString::fromStdString(older.Path()));
        ClickMenuItem(Cmd::kFileCompare);
        QTest::qWait(50);
        answers.folders.push_back(QString::fromStdString(older.Path()));
        ClickMenuItem(Cmd::kFileCompare);
        ASSERT_EQ(answers.messages.size(), 1u);
        EXPECT_EQ(answers.messages[0].text, U("一个文件夹的导出正在进行, 请等它完成或取消."));
        hold.Release();
        ASSERT_TRUE(QTest::qWaitFor([&] { return answers.messages.size() == 2; }));
    }
    EXPECT_TRUE(answers.messages[1].text.endsWith(U("1 个新增, 2 个已更改, 1 个已删除")));
    EXPECT_EQ(Find(U("docs/new.txt")).data(App::CTreeModel::kMarkRole).toString(), U("+"));
}

}  // namespace
