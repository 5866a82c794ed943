// The view's pictures through the real window: 保存截图... at the view's size or one typed
// in its dialog, on a transparent background; 复制图片 to the clipboard; 导出动画... of the
// playing animation read back by its format's decoder, and its 取消 leaving nothing.
#include <QCheckBox>
#include <QClipboard>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <functional>

#include "AppTestUtil.h"
#include "MovieReader.h"
#include "Settings.h"
#include "StatusLine.h"

namespace {

using namespace AppTest;
namespace Cmd = App::Cmd;

bool IsOrange(QColor c) {
    return c.red() > 150 && c.green() > 60 && c.green() < 140 && c.blue() < 90;
}

class PictureCommandsTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        WriteGame(game.Path(), Character("\\chars\\hero", {{-50, -50, 50, 50}}));
        OpenThroughMenu(game.Path());
        ChooseQuietly("chars/hero/hero.skn", Cmd::kRenderSkin);
    }

    // Types the size into the picture dialog, ticks 透明背景 when asked, and presses Enter.
    void AnswerPictureDialog(const QString& width, const QString& height, bool transparent) {
        WhenShown(
            [] { return QApplication::activeModalWidget(); },
            [=](QWidget* dialog) {
                auto* w = dialog->findChild<QSpinBox*>(QStringLiteral("pictureWidth"));
                auto* h = dialog->findChild<QSpinBox*>(QStringLiteral("pictureHeight"));
                auto* clear = dialog->findChild<QCheckBox*>(QStringLiteral("pictureTransparent"));
                if (!width.isEmpty()) {
                    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
                    QTest::keyClicks(w, width);
                    QTest::keyClick(w, Qt::Key_Tab);
                    QTest::keyClick(h, Qt::Key_A, Qt::ControlModifier);
                    QTest::keyClicks(h, height);
                }
                if (transparent) {
                    QTest::mouseClick(clear, Qt::LeftButton, {}, QPoint(4, clear->height() / 2));
                }
                QTest::keyClick(dialog, Qt::Key_Return);
            });
    }

    void PlayWalk() { ChooseQuietly("chars/hero/hero.ani", Cmd::kApplyAnimate); }

    TestUtil::TempDir game;
    TestUtil::TempDir out;
};

TEST_F(PictureCommandsTest, ScreenshotSavesTheViewAsDrawn) {
    AnswerPictureDialog({}, {}, false);
    answers.saveFiles.push_back(QString::fromStdString(out / "shot.png"));
    Press("Ctrl+Shift+S");
    const QImage shot(QString::fromStdString(out / "shot.png"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(),
              App::ViewPixels(frame->View()->size(), frame->View()->devicePixelRatio()));
    EXPECT_FALSE(shot.hasAlphaChannel());
    EXPECT_GT(Count(shot, IsOrange, 2), 100);
    EXPECT_EQ(frame->Status().Text(), QString::fromStdString(out / "shot.png"));
    frame->grab().save(QStringLiteral(VELL_TEST_OUTPUT "/app_screenshot.png"));
    // The folder is remembered for the next screenshot.
    EXPECT_EQ(App::LastFolder(App::kScreenshotKind), QString::fromStdString(out.Path()));
}

// A size of its own and a transparent background: alpha 0 around the model, 255 on it.
TEST_F(PictureCommandsTest, ScreenshotAtATypedSizeOnATransparentBackground) {
    AnswerPictureDialog(QStringLiteral("300"), QStringLiteral("200"), true);
    answers.saveFiles.push_back(QString::fromStdString(out / "clear.png"));
    Press("Ctrl+Shift+S");
    const QImage shot(QString::fromStdString(out / "clear.png"));
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(300, 200));
    ASSERT_TRUE(shot.hasAlphaChannel());
    EXPECT_EQ(qAlpha(shot.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(shot.pixel(299, 199)), 0);
    const QRgb middle = shot.pixel(150 + 20, 100 + 20);  // clear of the axes at the origin
    EXPECT_EQ(qAlpha(middle), 255);
    EXPECT_TRUE(IsOrange(QColor(middle)));
    // The view goes on at its own size.
    frame->View()->OnTimer();
    EXPECT_EQ(frame->View()->Picture().size(),
              App::ViewPixels(frame->View()->size(), frame->View()->devicePixelRatio()));
}

TEST_F(PictureCommandsTest, CancelledPictureDialogWritesNothing) {
    bool asked = false;
    WhenShown([] { return QApplication::activeModalWidget(); },
              [&asked](QWidget* dialog) {
                  asked = dialog->objectName() == QStringLiteral("pictureDialog");
                  QTest::keyClick(dialog, Qt::Key_Escape);
              });
    Press("Ctrl+Shift+S");
    EXPECT_TRUE(asked);
    EXPECT_TRUE(answers.saveStarts.empty());
    EXPECT_TRUE(TestUtil::FilesIn(out.Path()).empty());
}

TEST_F(PictureCommandsTest, CopyPicturePutsTheViewOnTheClipboard) {
    QApplication::clipboard()->clear();
    Press("Ctrl+Shift+C");
    const QImage copied = QApplication::clipboard()->image();
    EXPECT_EQ(copied.size(),
              App::ViewPixels(frame->View()->size(), frame->View()->devicePixelRatio()));
    EXPECT_GT(Count(copied, IsOrange, 2), 100);
}

TEST_F(PictureCommandsTest, ExportMovieWritesEveryFrameOfTheWalk) {
    PlayWalk();
    for (const char* name : {"walk.gif", "walk.mp4"}) {
        // Without a window manager the window gets the keys back from the progress
        // dialog only when asked.
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        answers.saveFiles.push_back(QString::fromStdString(out / name));
        Press("Ctrl+Shift+E");
        ASSERT_TRUE(answers.messages.empty()) << answers.messages[0].text.toStdString();
        const MovieReader::Movie movie = MovieReader::Read(out / name);
        ASSERT_TRUE(movie.ok) << name << " " << frame->Status().Text().toStdString();
        EXPECT_EQ(movie.pictures, 10) << name;
        const QSize view(frame->View()->Core().m_nWidth, frame->View()->Core().m_nHeight);
        EXPECT_EQ(movie.width,
                  std::string(name).ends_with(".mp4") ? view.width() & ~1 : view.width());
        EXPECT_EQ(frame->Status().Text(), QString::fromStdString(out / name));
    }
    EXPECT_EQ(App::LastFolder(App::kMovieKind), QString::fromStdString(out.Path()));
}

TEST_F(PictureCommandsTest, CancelledExportLeavesNothingBehind) {
    PlayWalk();
    WhenShown(
        [this] { return frame->findChild<QProgressDialog*>(QStringLiteral("movieProgress")); },
        [](QWidget* progress) {
            auto* cancel = progress->findChild<QPushButton*>();
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
    answers.saveFiles.push_back(QString::fromStdString(out / "walk.webp"));
    Press("Ctrl+Shift+E");
    EXPECT_TRUE(TestUtil::FilesIn(out.Path()).empty());
    EXPECT_EQ(frame->Status().Text(), U("导出已取消"));
    EXPECT_TRUE(answers.messages.empty());
}

TEST_F(PictureCommandsTest, ExportMovieWantsAnAnimationAndAMovingFormat) {
    Press("Ctrl+Shift+E");
    EXPECT_EQ(answers.Last(1), U("请先选择要导出的动画"));
    EXPECT_TRUE(answers.saveStarts.empty());
    Choose("chars/hero/hero.ani", Cmd::kApplyAnimate);
    answers.saveFiles.push_back(QString::fromStdString(out / "walk.png"));
    Press("Ctrl+Shift+E");
    EXPECT_EQ(answers.Last(2), U("动画文件的名字以 .gif, .webp, .mp4 或 .webm 结尾"));
    EXPECT_TRUE(TestUtil::FilesIn(out.Path()).empty());
}

}  // namespace
