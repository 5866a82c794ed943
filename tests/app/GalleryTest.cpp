// The gallery through its real window: filled off the window's thread with the picture
// `vell render` makes, a click selecting in the tree and a double-click rendering, a broken
// skin's marked tile, 取消, the tree's filter, a warm cache drawing nothing and a changed file
// drawn anew.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "AppTestUtil.h"
#include "CommandTable.h"
#include "Gallery.h"
#include "StatusLine.h"
#include "ThreadSeam.h"
#include "Thumbnails.h"
#include "TreePane.h"
#include "model/model.h"
#include "view/view.h"

namespace {

using namespace AppTest;
namespace Cmd = App::Cmd;

// Two characters and a skin that isn't one; the orc's texture `colour` can change.
std::vector<Forge::PakFile> GalleryGame(uint8_t orcShade = 0) {
    std::vector<Forge::PakFile> files = Character("\\chars\\a", {{-50, -50, 50, 50}});
    for (Forge::PakFile& f : Character("\\chars\\b", {{-20, -80, 60, 10}}, "orc.skn")) {
        if (orcShade != 0 && f.path.ends_with(".dds")) {
            // A texel of the orc's own texture, past the header: a changed file.
            f.data[f.data.size() - 2] = orcShade;
        }
        files.push_back(f);
    }
    files.push_back(TextFile("\\chars\\broken\\broken.skn", "not a skin at all"));
    files.push_back(TextFile("\\docs\\readme.txt", "read me"));
    return files;
}

bool SamePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                return false;
            }
        }
    }
    return true;
}

class GalleryTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        // Every test starts from an empty cache (a temporary one: Qt's test places).
        QDir(App::ThumbnailCacheFolder()).removeRecursively();
        WriteGame(game.Path(), GalleryGame());
        OpenThroughMenu(game.Path());
    }

    // 视图 / 缩略图 clicked, and the gallery once every picture is in.
    App::CGallery* OpenGallery(bool wait = true) {
        ClickMenuItem(Cmd::kGallery);
        App::CGallery* gallery = frame->Gallery();
        EXPECT_NE(gallery, nullptr);
        if (gallery && wait) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return gallery->Done(); }, 20000));
        }
        return gallery;
    }

    static QListWidgetItem* Tile(App::CGallery* gallery, const QString& name) {
        const auto found = gallery->Grid()->findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.front();
    }

    static QImage Picture(QListWidgetItem* item, int size) {
        return item->icon().pixmap(size, size).toImage().convertToFormat(QImage::Format_RGBA8888);
    }

    // The middle of a tile in the gallery window's coordinates.
    static QPoint TilePoint(App::CGallery* gallery, QListWidgetItem* item) {
        QListWidget* grid = gallery->Grid();
        grid->scrollToItem(item);
        return grid->viewport()->mapTo(gallery, grid->visualItemRect(item).center());
    }

    TestUtil::TempDir game;
    TestUtil::TempDir out;
};

// Filled with one tile a model, each picture the one `vell render` makes of it; a click
// selects the skin in the tree, a double-click renders it in the view.
TEST_F(GalleryTest, FillsWithTheRenderPicturesAndClicksReachTheTreeAndTheView) {
    App::CGallery* gallery = OpenGallery();
    ASSERT_NE(gallery, nullptr);
    ASSERT_EQ(gallery->Grid()->count(), 3);
    EXPECT_EQ(gallery->MadeTiles(), 3);
    EXPECT_EQ(gallery->Job()->Drawn(), 2u);
    EXPECT_EQ(gallery->Job()->FromCache(), 0u);
    EXPECT_EQ(gallery->ProgressText()->text(), U("3 个模型"));
    EXPECT_FALSE(gallery->CancelButton()->isVisible());
    for (const char* skin : {"chars/a/hero.skn", "chars/b/orc.skn"}) {
        const TestUtil::RunResult run = TestUtil::Run(
            VELL_CLI_BINARY,
            {"render", game.Path(), skin, "-o", out / "tile.png", "--size", "128x128"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const QImage rendered = QImage(QString::fromStdString(out / "tile.png"))
                                    .convertToFormat(QImage::Format_RGBA8888);
        const QString name = QString::fromUtf8(skin).section('/', -1);
        EXPECT_TRUE(SamePixels(Picture(Tile(gallery, name), 128), rendered)) << skin;
    }

    QListWidgetItem* orc = Tile(gallery, "orc.skn");
    QTest::mouseClick(gallery->windowHandle(), Qt::LeftButton, {}, TilePoint(gallery, orc));
    EXPECT_EQ(frame->Tree()->currentIndex(), Find("chars/b/orc.skn"));
    EXPECT_TRUE(View::GetModel()->IsEmpty());
    QTest::mouseDClick(gallery->windowHandle(), Qt::LeftButton, {}, TilePoint(gallery, orc));
    EXPECT_FALSE(View::GetModel()->IsEmpty());
    EXPECT_TRUE(frame->Status().Text().startsWith("orc.skn"))
        << frame->Status().Text().toStdString();
}

// A skin that can't be read has a marked tile saying why; the others are drawn.
TEST_F(GalleryTest, ABrokenSkinGetsAMarkedTileWithTheReason) {
    App::CGallery* gallery = OpenGallery();
    ASSERT_NE(gallery, nullptr);
    QListWidgetItem* broken = Tile(gallery, "broken.skn");
    ASSERT_NE(broken, nullptr);
    EXPECT_TRUE(broken->data(App::CGallery::kBrokenRole).toBool());
    const QString tip = broken->toolTip();
    EXPECT_TRUE(tip.startsWith(U("chars/broken/broken.skn\n无法加载: "))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(".skn")) << tip.toStdString();
    EXPECT_FALSE(Tile(gallery, "hero.skn")->data(App::CGallery::kBrokenRole).toBool());
    EXPECT_TRUE(answers.messages.empty());
}

// With the workers held back the window answers, counts nothing made and offers 取消;
// cancelled, no picture is drawn. Where no thread can be made, the window draws them itself
// between its events.
TEST_F(GalleryTest, CancelStopsTheWorkAndNoThreadMeansTheWindowDraws) {
    {
        ThreadSeam::Hold hold;
        App::CGallery* gallery = OpenGallery(false);
        ASSERT_NE(gallery, nullptr);
        QTest::qWait(50);
        EXPECT_EQ(gallery->ProgressText()->text(), U("0/3"));
        ASSERT_TRUE(gallery->CancelButton()->isVisible());
        QTest::mouseClick(gallery->CancelButton(), Qt::LeftButton);
        hold.Release();
        ASSERT_TRUE(QTest::qWaitFor([&] { return gallery->Done(); }));
        EXPECT_EQ(gallery->Job()->Drawn(), 0u);
        EXPECT_EQ(gallery->MadeTiles(), 0);
        EXPECT_EQ(gallery->ProgressText()->text(), U("已取消: 0/3"));
        EXPECT_FALSE(gallery->CancelButton()->isVisible());
        gallery->close();
    }
    ThreadSeam::Allow none(0);
    App::CGallery* gallery = OpenGallery();
    ASSERT_NE(gallery, nullptr);
    EXPECT_EQ(gallery->MadeTiles(), 3);
    EXPECT_EQ(gallery->Job()->Drawn(), 2u);
}

// The tree's filter narrows the gallery as it narrows the tree: plain text and patterns.
TEST_F(GalleryTest, TheTreeFilterFiltersTheGallery) {
    App::CGallery* gallery = OpenGallery();
    ASSERT_NE(gallery, nullptr);
    QLineEdit* box = frame->Pane()->FilterBox();
    const std::pair<const char*, int> rows[] = {{"orc", 1}, {"*.skn", 3},  {"chars/a/*", 1},
                                                {"/b/", 0}, {"hero.S", 1}, {"", 3}};
    for (const auto& [text, shown] : rows) {
        box->clear();
        QTest::keyClicks(box, text);
        EXPECT_EQ(gallery->ShownTiles(), shown) << text;
    }
    // Opened on a folder with a filter already typed, it starts narrowed.
    QTest::keyClicks(box, "orc");
    gallery->close();
    Select("chars");
    gallery = OpenGallery();
    EXPECT_EQ(gallery->ShownTiles(), 1);
}

// Opened again on an unchanged game (through a folder's context menu), every picture comes
// from the cache with nothing drawn; each file is small. Another size is drawn anew.
TEST_F(GalleryTest, AWarmCacheDrawsNothing) {
    App::CGallery* gallery = OpenGallery();
    ASSERT_NE(gallery, nullptr);
    const QImage hero = Picture(Tile(gallery, "hero.skn"), 128);
    gallery->close();
    OpenThroughMenu(game.Path());
    Choose("chars", Cmd::kGallery);
    gallery = frame->Gallery();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gallery->Done(); }, 20000));
    EXPECT_EQ(gallery->Job()->Drawn(), 0u);
    EXPECT_EQ(gallery->Job()->FromCache(), 2u);
    EXPECT_TRUE(SamePixels(Picture(Tile(gallery, "hero.skn"), 128), hero));
    const QFileInfoList files = QDir(App::ThumbnailCacheFolder()).entryInfoList(QDir::Files);
    ASSERT_EQ(files.size(), 2);
    for (const QFileInfo& file : files) {
        EXPECT_LE(file.size(), qint64{App::kMostThumbnailBytes}) << file.fileName().toStdString();
    }

    // A cache file that doesn't decode is drawn again, and replaced.
    {
        QFile spoilt(files.front().absoluteFilePath());
        ASSERT_TRUE(spoilt.open(QIODevice::WriteOnly | QIODevice::Truncate));
        spoilt.write("RIFF not a picture");
    }
    gallery->close();
    Choose("chars", Cmd::kGallery);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gallery->Done(); }, 20000));
    EXPECT_EQ(gallery->Job()->Drawn(), 1u);
    EXPECT_EQ(gallery->Job()->FromCache(), 1u);
    {
        QFile again(files.front().absoluteFilePath());
        ASSERT_TRUE(again.open(QIODevice::ReadOnly));
        const QByteArray bytes = again.readAll();
        EXPECT_EQ(App::DecodeThumbnail({bytes.begin(), bytes.end()}).size(), QSize(128, 128));
    }

    QComboBox* sizes = gallery->SizeBox();
    sizes->setFocus();
    QTest::keyClick(sizes, Qt::Key_Home);
    QTest::keyClick(sizes, Qt::Key_Down);  // 64 px
    ASSERT_TRUE(QTest::qWaitFor([&] { return gallery->Done(); }, 20000));
    EXPECT_EQ(gallery->TileSize(), 64);
    EXPECT_EQ(gallery->Job()->Drawn(), 2u);
    EXPECT_EQ(Picture(Tile(gallery, "hero.skn"), 64).size(), QSize(64, 64));
}

// A file changed under the orc (its texture) gets the orc a new picture; the hero's comes
// from the cache.
TEST_F(GalleryTest, AChangedFileGetsANewPicture) {
    App::CGallery* gallery = OpenGallery();
    ASSERT_NE(gallery, nullptr);
    const QImage before = Picture(Tile(gallery, "orc.skn"), 128);
    gallery->close();
    WriteGame(game.Path(), GalleryGame(0x20));
    OpenThroughMenu(game.Path());
    gallery = OpenGallery();
    EXPECT_EQ(gallery->Job()->Drawn(), 1u);
    EXPECT_EQ(gallery->Job()->FromCache(), 1u);
    EXPECT_FALSE(SamePixels(Picture(Tile(gallery, "orc.skn"), 128), before));
}

}  // namespace
