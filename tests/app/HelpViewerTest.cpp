// The key help (F1) and the file viewer, driven through the real window: the help lists every
// accelerator and view key from their tables; a double-click or the context menu opens a file's
// bytes as text or hex, with a find field of the viewer's own.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <set>

#include "AppTestUtil.h"
#include "FileViewer.h"
#include "HelpDlg.h"
#include "ViewKeys.h"

namespace {

using namespace AppTest;
namespace Cmd = App::Cmd;
using Forge::Bytes;

class HelpViewerTest : public FrameTest {
protected:
    // The viewer window a double-click on `path` opens.
    App::CFileViewer* ViewerOf(const QString& path) {
        DoubleClick(path);
        return Opened<App::CFileViewer>(frame.get());
    }

    TestUtil::TempDir game;
};

TEST_F(HelpViewerTest, F1ListsEveryAcceleratorAndViewKey) {
    frame->View()->setFocus();
    Press("F1");
    auto* help = Opened<App::CHelpDlg>(frame.get());
    ASSERT_NE(help, nullptr);
    // The table's rows: (key, what it does).
    const auto rows = [help] {
        std::set<std::pair<QString, QString>> rows;
        for (int row = 0; row < help->Table()->rowCount(); ++row) {
            rows.insert({help->Table()->item(row, 0)->text(), help->Table()->item(row, 1)->text()});
        }
        return rows;
    };
    const auto keys = rows();
    const auto listed = [&keys](const QString& key) {
        return std::any_of(keys.begin(), keys.end(), [&](auto& row) { return row.first == key; });
    };
    int accelerators = 0;
    for (const App::CommandInfo& info : App::Commands()) {
        if (info.shortcut) {
            ++accelerators;
            EXPECT_TRUE(listed(QKeySequence(QString::fromLatin1(info.shortcut)).toString()))
                << info.shortcut;
        }
    }
    EXPECT_GE(accelerators, 15);
    EXPECT_TRUE(listed(QStringLiteral("F1")));
    for (const App::ViewKeyInfo& key : App::ViewKeys()) {
        if (key.qtKey != 0) {
            EXPECT_TRUE(listed(QKeySequence(key.qtKey).toString())) << key.qtKey;
        }
    }
    // Spot checks that the names are the commands' own, not the raw table text.
    EXPECT_TRUE(keys.count({QStringLiteral("Ctrl+F"), U("面")}));
    EXPECT_TRUE(keys.count({QStringLiteral("Ctrl+S"), U("保存MDX文件列表")}));
    EXPECT_TRUE(keys.count({QStringLiteral("Space"), U("动画播放/暂停")}));
    EXPECT_EQ(static_cast<std::size_t>(help->Table()->rowCount()), keys.size());
    // F1 again brings the same window forward.
    help->activateWindow();
    QTest::keyClick(frame.get(), Qt::Key_F1);
    EXPECT_EQ(frame->findChildren<App::CHelpDlg*>().size(), 1);

    // A language chosen while the window is open changes its names at once.
    frame->activateWindow();
    ChooseLanguage(App::Language::English);
    ASSERT_EQ(static_cast<std::size_t>(help->Table()->rowCount()), keys.size());
    const auto english = rows();
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Keys"));
    EXPECT_TRUE(english.count({QStringLiteral("Ctrl+F"), QStringLiteral("Faces")}));
    EXPECT_TRUE(
        english.count({QStringLiteral("Space"), QStringLiteral("Play/pause the animation")}));
}

// The view's key handling reads the same table: every key listed for the core moves the camera.
TEST_F(HelpViewerTest, ViewKeysOfTheTableMoveTheCamera) {
    for (const App::ViewKeyInfo& key : App::ViewKeys()) {
        if (key.viewKey == View::Key::Other || key.viewKey == View::Key::Escape) {
            continue;
        }
        View::CRenderViewCore& core = frame->View()->Core();
        const auto before = std::tuple(core.m_nRotX, core.m_nRotZ, core.m_fPanY, core.m_fZoom);
        frame->View()->setFocus();
        QTest::keyClick(frame->View(), Qt::Key(key.qtKey));
        EXPECT_NE(before, std::tuple(core.m_nRotX, core.m_nRotZ, core.m_fPanY, core.m_fZoom))
            << key.qtKey;
    }
}

TEST_F(HelpViewerTest, TextAndHexViewsShowTheBytes) {
    std::vector<uint8_t> binary = {0x00, 0x01, 'A', 'B', 0x7F, 0xFF};
    const std::string gbk = "\xC4\xE3\xBA\xC3";  // 你好 in GBK, invalid as UTF-8
    std::vector<uint8_t> big(App::kHexShownMax + 100, 0);
    constexpr std::size_t kProbe = 64 * 1024;  // where a NUL no longer makes a file binary
    std::vector<uint8_t> lateNul(kProbe + 1, 'a');
    lateNul[kProbe] = 0;
    std::vector<uint8_t> earlyNul = lateNul;
    earlyNul[kProbe - 1] = 0;
    WriteGame(game.Path(),
              {{"\\docs\\a.lua", Bytes("print(\"你好\")\nlocal x = 1\n")},
               {"\\docs\\b.ini", Bytes(gbk + "=1\n")},
               {"\\docs\\c.bin", binary},
               {"\\docs\\d.bin", big},
               {"\\docs\\e.txt", {}},
               {"\\docs\\g.txt", Bytes("abc\xE4\xBD")},  // GBK, and UTF-8 but for its cut end
               {"\\docs\\h.txt", lateNul},
               {"\\docs\\i.bin", earlyNul},
               {.path = "\\docs\\f.bin", .data = Bytes("broken"), .stream = Bytes("not deflate")}});
    OpenThroughMenu(game.Path());

    struct Row {
        const char* path;
        bool text;
        QString shown;  // the start of the view's text
        QString note;   // part of the note on how much is shown
    };
    const Row rows[] = {
        {"docs/a.lua", true, U("print(\"你好\")\nlocal x = 1"), U("共 28 字节")},
        {"docs/b.ini", true, U("你好=1"), U("共 7 字节")},
        {"docs/c.bin", false, U("00000000  00 01 41 42 7f ff"), U("共 6 字节")},
        {"docs/d.bin", false, U("00000000  00 00"),
         U("显示前 %1 字节, 共 %2 字节").arg(App::kHexShownMax).arg(big.size())},
        {"docs/e.txt", true, QString(), U("共 0 字节")},
        {"docs/g.txt", true, U("abc浣"), U("共 5 字节")},
        {"docs/h.txt", true, U("aaaa"), U("共 65537 字节")},
        {"docs/i.bin", false, U("00000000  61 61"), U("共 65537 字节")},
    };
    for (const Row& row : rows) {
        App::CFileViewer* viewer = ViewerOf(U(row.path));
        ASSERT_TRUE(viewer) << row.path;
        EXPECT_EQ(viewer->IsTextView(), row.text) << row.path;
        EXPECT_TRUE(viewer->Text()->toPlainText().startsWith(row.shown))
            << row.path << ": " << viewer->Text()->toPlainText().left(80).toStdString();
        EXPECT_TRUE(viewer->Note()->text().contains(row.note))
            << row.path << ": " << viewer->Note()->text().toStdString();
        EXPECT_TRUE(viewer->Text()->isReadOnly());
        viewer->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->findChild<App::CFileViewer*>(); }));
    }
    // The hex view's characters column, and the last line of a capped dump.
    EXPECT_TRUE(App::HexDump(binary).endsWith(U("..AB..\n")));
    EXPECT_EQ(App::HexDump(std::vector<uint8_t>(App::kHexShownMax)).count('\n'),
              static_cast<qsizetype>(App::kHexShownMax / 16));

    // An entry that can't be inflated says so and opens nothing.
    Select(U("docs/f.bin"));
    frame->Tree()->setFocus();
    QTest::keyClick(frame->Tree(), Qt::Key_Return);
    EXPECT_TRUE(answers.Last(1).contains(U("无法读取文件"))) << answers.Last(1).toStdString();
    EXPECT_EQ(frame->findChild<App::CFileViewer*>(), nullptr);

    // The context menu's 查看 opens the same viewer.
    frame->activateWindow();
    Choose("docs/c.bin", Cmd::kViewFile);
    EXPECT_FALSE(Opened<App::CFileViewer>(frame.get())->IsTextView());
}

TEST_F(HelpViewerTest, CtrlFFindsInTheViewerAndLeavesFillModeAlone) {
    WriteGame(game.Path(), {{"\\docs\\a.txt", Bytes("alpha\nbeta\ngamma beta\n")}});
    OpenThroughMenu(game.Path());
    Press("Ctrl+L");  // line mode in the main window
    ASSERT_TRUE(frame->Action(Cmd::kRenderLine)->isChecked());

    App::CFileViewer* viewer = ViewerOf(U("docs/a.txt"));
    ASSERT_TRUE(viewer);
    // The viewer is a window of its own and takes the keyboard when it opens.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == viewer; }));
    QTest::keyClick(viewer->Text(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewer->FindField()->hasFocus(); }));
    QTest::keyClicks(viewer->FindField(), QStringLiteral("beta"));
    // Where the selection ends after each Enter: it wraps at the end.
    for (const int position : {10, 21, 10}) {
        QTest::keyClick(viewer->FindField(), Qt::Key_Return);
        EXPECT_EQ(viewer->Text()->textCursor().selectedText(), QStringLiteral("beta"));
        EXPECT_EQ(viewer->Text()->textCursor().position(), position);
    }
    viewer->FindField()->clear();
    QTest::keyClicks(viewer->FindField(), QStringLiteral("delta"));
    QTest::keyClick(viewer->FindField(), Qt::Key_Return);
    EXPECT_TRUE(viewer->Note()->text().contains(QStringLiteral("delta")));

    // The main window's fill mode never saw the viewer's Ctrl+F.
    EXPECT_TRUE(frame->Action(Cmd::kRenderLine)->isChecked());
    EXPECT_FALSE(frame->Action(Cmd::kRenderFill)->isChecked());

    // A language chosen while the viewer is open changes its texts at once.
    frame->activateWindow();
    ChooseLanguage(App::Language::English);
    EXPECT_TRUE(viewer->Note()->text().contains(QStringLiteral("Text  22 bytes")))
        << viewer->Note()->text().toStdString();
    EXPECT_EQ(viewer->findChild<QPushButton*>()->text(), QStringLiteral("Find Next"));
}

TEST(FileViewerText, DecodesUtf8ElseGbk) {
    struct Row {
        std::string bytes;
        bool whole;  // the whole file, or only its head
        QString text;
    };
    const Row rows[] = {
        {"plain", true, QStringLiteral("plain")},
        {"\xE4\xBD\xA0\xE5\xA5\xBD", true, QString::fromUtf8("你好")},
        {"\xC4\xE3\xBA\xC3", true, QString::fromUtf8("你好")},
        // UTF-8 cut inside its last character by the head's end stays UTF-8.
        {"\xE4\xBD\xA0\xE5", false, QString::fromUtf8("你")},
        // The same bytes as a whole file are GBK: no more of the character follows.
        {"\xE4\xBD\xA0\xE5", true, QString::fromUtf8("浣犲")},
        {"abc\xE4\xBD", true, QString::fromUtf8("abc浣")},
    };
    for (const Row& row : rows) {
        const std::vector<uint8_t> bytes(row.bytes.begin(), row.bytes.end());
        EXPECT_EQ(App::DecodeText(bytes, row.whole), row.text) << row.bytes;
    }
}

// Text means no NUL in the first 64 KiB: the positions are written out, so that the probe
// can't change without this test saying so.
TEST(FileViewerText, ProbesTheFirst64KiBForNul) {
    struct Row {
        std::size_t nulAt;
        bool text;
    };
    constexpr std::size_t kKiB = 1024;
    const Row rows[] = {
        {0, false}, {64 * kKiB - 1, false}, {64 * kKiB, true}, {64 * kKiB + 1, true}};
    for (const Row& row : rows) {
        std::vector<uint8_t> bytes(80 * kKiB, 'a');
        bytes[row.nulAt] = 0;
        EXPECT_EQ(App::LooksLikeText(bytes), row.text) << row.nulAt;
    }
}

}  // namespace
