// 文件 / 打包补丁...: a folder chosen, its report under the name typed, a loss refused with the
// name that would win, the archive written into the game folder, the game opened again with
// the tree marking what the mod brought and 来源 showing it first; 补丁列表... as a table.
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>

#include "AppTestUtil.h"
#include "CommandTable.h"
#include "PackDlg.h"
#include "TreeModel.h"

namespace {

using namespace AppTest;
namespace Cmd = App::Cmd;
namespace fs = std::filesystem;

void Write(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    Forge::SaveBytes(path, Forge::Bytes(text));
}

QString Cell(QTableWidget* table, int row, int column) {
    QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

class PackModTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        Forge::SavePak(game / "data.pak", {TextFile("\\docs\\shared.txt", "base"),
                                           TextFile("\\docs\\alone.txt", "alone")});
        Forge::SavePak(game / "000_patch.pak", {TextFile("\\docs\\patched.txt", "patch")});
        Write(source / "mymod/docs/shared.txt", "mod");
        Write(source / "mymod/docs/patched.txt", "mine");
        Write(source / "mymod/docs/new.txt", "new");
        OpenThroughMenu(game.Path());
    }

    App::CPackDlg* OpenPackDialog() {
        answers.folders.push_back(QString::fromStdString(source / "mymod"));
        ClickMenuItem(Cmd::kPackMod);
        return Opened<App::CPackDlg>(frame.get());
    }

    // The table of that name once it shows.
    QTableWidget* ShownTable(const QString& objectName) {
        QTableWidget* table = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            table = frame->findChild<QTableWidget*>(objectName);
            return table && table->isVisible();
        })) << objectName.toStdString();
        return table;
    }

    TestUtil::TempDir game;
    TestUtil::TempDir source;
};

TEST_F(PackModTest, AWinningModIsWrittenAndShownWinning) {
    const std::vector<uint8_t> dataBefore = TestUtil::ReadBytes(game / "data.pak");
    App::CPackDlg* dialog = OpenPackDialog();
    ASSERT_NE(dialog, nullptr);
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("packName"));
    auto* report = dialog->findChild<QTableWidget*>(QStringLiteral("packReport"));
    auto* verdict = dialog->findChild<QLabel*>(QStringLiteral("packVerdict"));
    auto* pack = dialog->findChild<QPushButton*>(QStringLiteral("packButton"));
    ASSERT_TRUE(name && report && verdict && pack);

    // Under the folder's own name it sorts after the game's archives: both copies lose.
    EXPECT_EQ(name->text(), U("mymod"));
    ASSERT_EQ(report->rowCount(), 3);
    EXPECT_EQ(Cell(report, 0, 0), U("docs/new.txt"));
    EXPECT_EQ(Cell(report, 1, 1), U("输给"));
    EXPECT_EQ(Cell(report, 1, 2), U("000_patch.pak"));
    EXPECT_EQ(Cell(report, 2, 2), U("data.pak"));
    EXPECT_FALSE(pack->isEnabled());
    EXPECT_TRUE(verdict->text().contains(U("改名为 000mymod.pak 可胜出")))
        << verdict->text().toStdString();

    // The name it suggests, typed: everything overrides or is new.
    name->setFocus();
    QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(name, "000mymod");
    EXPECT_EQ(Cell(report, 0, 1), U("新增"));
    EXPECT_EQ(Cell(report, 1, 1), U("覆盖"));
    EXPECT_EQ(Cell(report, 2, 1), U("覆盖"));
    ASSERT_TRUE(pack->isEnabled());
    QTest::mouseClick(pack, Qt::LeftButton);

    // Written after the dialog has closed, and the game opened again.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return Find(U("docs/new.txt")).data(App::CTreeModel::kMarkRole).toString() == U("+");
    }));
    ASSERT_TRUE(fs::exists(game / "000mymod.pak"));
    EXPECT_EQ(TestUtil::ReadBytes(game / "data.pak"), dataBefore);
    EXPECT_EQ(Find(U("docs/shared.txt")).data(App::CTreeModel::kMarkRole).toString(), U("M"));
    EXPECT_EQ(Find(U("docs/new.txt")).data(App::CTreeModel::kMarkRole).toString(), U("+"));
    EXPECT_EQ(Find(U("docs/alone.txt")).data(App::CTreeModel::kMarkRole).toString(), QString());

    // 来源: the mod's record first, over the game's.
    Choose(U("docs/shared.txt"), Cmd::kShowSources);
    QTableWidget* sources = ShownTable(U("sourcesTable"));
    ASSERT_NE(sources, nullptr);
    ASSERT_EQ(sources->rowCount(), 2);
    EXPECT_EQ(sources->horizontalHeaderItem(0)->text(), U("包"));
    EXPECT_EQ(Cell(sources, 0, 0), U("000mymod.pak"));
    EXPECT_EQ(Cell(sources, 0, 1), U("3"));
    EXPECT_EQ(Cell(sources, 1, 0), U("data.pak"));
}

TEST_F(PackModTest, CancelledWritesNothing) {
    App::CPackDlg* dialog = OpenPackDialog();
    ASSERT_NE(dialog, nullptr);
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    QPushButton* cancel = nullptr;
    for (QAbstractButton* b : buttons->buttons()) {
        if (buttons->buttonRole(b) == QDialogButtonBox::RejectRole) {
            cancel = qobject_cast<QPushButton*>(b);
        }
    }
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_EQ(TestUtil::FilesIn(game.Path()),
              (std::vector<std::string>{"000_patch.pak", "data.pak"}));
}

// Two mods that meet at shared.txt: the table says which one wins there.
TEST_F(PackModTest, ModListTellsWhichModWins) {
    Forge::SavePak(game / "0_a.pak", {TextFile("\\docs\\shared.txt", "a")});
    Forge::SavePak(game / "0_b.pak", {TextFile("\\docs\\shared.txt", "b")});
    OpenThroughMenu(game.Path());
    ClickMenuItem(Cmd::kModList);
    QTableWidget* table = ShownTable(U("modsTable"));
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rowCount(), 2);  // 000_patch.pak alone holds its file: no mod
    EXPECT_EQ(Cell(table, 0, 0), U("0_a.pak"));
    EXPECT_EQ(Cell(table, 0, 1), U("docs/shared.txt"));
    EXPECT_EQ(Cell(table, 0, 2), U("0_b.pak, data.pak"));
    EXPECT_EQ(Cell(table, 0, 3), U("胜出"));
    EXPECT_EQ(Cell(table, 1, 0), U("0_b.pak"));
    EXPECT_EQ(Cell(table, 1, 3), U("输给 0_a.pak"));
}

}  // namespace
