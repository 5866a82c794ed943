// The texture preview's tools (zoom by wheel, 适合 and 1:1; the channels; 另存为PNG) driven
// by the mouse, and Escape closing every window the program opens beside the main one.
#include <QAbstractButton>
#include <QListWidget>
#include <QPointer>
#include <QScrollArea>
#include <QTableWidget>
#include <QWheelEvent>

#include "AppTestUtil.h"
#include "CommandTable.h"
#include "FileViewer.h"
#include "Gallery.h"
#include "HelpDlg.h"
#include "TexturePreview.h"
#include "forge/dds.h"

namespace {

using namespace AppTest;
using Channel = App::CTexturePreview::Channel;
namespace Cmd = App::Cmd;

// Four texels a row, two rows alike: RGBA as given, the second one half transparent and the
// third wholly.
constexpr uint8_t kTexels[4][4] = {
    {10, 20, 30, 255}, {200, 100, 50, 128}, {0, 255, 0, 0}, {255, 250, 240, 64}};
constexpr int kWidth = 4;
constexpr int kHeight = 2;
constexpr int kLight = 0xCC;  // the checkerboard's square at the top left

Forge::PakFile Texture(const std::string& path) {
    std::vector<uint32_t> words;
    for (int y = 0; y < kHeight; ++y) {
        for (const auto& t : kTexels) {
            words.push_back(uint32_t{t[3]} << 24 | uint32_t{t[0]} << 16 | uint32_t{t[1]} << 8 |
                            t[2]);
        }
    }
    const std::vector<uint8_t> pixels = Forge::PackPixelWords(words, 32);
    return {path, Forge::WriteDds(Forge::DdsDesc{.width = kWidth, .height = kHeight}, pixels)};
}

// What the shown pixel of texel `t` is in each channel, at 1:1 over the light square.
QColor Expected(const uint8_t (&t)[4], Channel channel) {
    const auto grey = [](int v) { return QColor(v, v, v); };
    switch (channel) {
        case Channel::Alpha:
            return grey(t[3]);
        case Channel::Red:
            return grey(t[0]);
        case Channel::Green:
            return grey(t[1]);
        case Channel::Blue:
            return grey(t[2]);
        case Channel::Colour:
            break;
    }
    const auto over = [&](int c) { return (c * t[3] + kLight * (255 - t[3]) + 127) / 255; };
    return QColor(over(t[0]), over(t[1]), over(t[2]));
}

bool Near(const QColor& a, const QColor& b) {
    constexpr int kRounding = 2;  // the painter's blending rounds its own way
    return std::abs(a.red() - b.red()) <= kRounding &&
           std::abs(a.green() - b.green()) <= kRounding &&
           std::abs(a.blue() - b.blue()) <= kRounding;
}

class TexturePreviewTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        WriteGame(game.Path(),
                  {Texture("\\tex\\four.dds"), TextFile("\\docs\\readme.txt", "read me"),
                   TextFile("\\docs\\kept.txt", "kept")});
        Forge::SavePak(older / "data.pak",
                       {TextFile("\\docs\\kept.txt", "old"), TextFile("\\docs\\gone.txt", "gone")});
        OpenThroughMenu(game.Path());
    }

    App::CTexturePreview* OpenPreview() {
        DoubleClick("tex/four.dds");
        return Opened<App::CTexturePreview>(frame.get());
    }

    // One notch of the wheel over the picture, up (`notches` > 0) or down.
    static void Wheel(App::CTexturePreview* preview, int notches) {
        QWidget* viewport = preview->Area()->viewport();
        const QPointF at = viewport->rect().center();
        QWheelEvent event(at, viewport->mapToGlobal(at), {}, QPoint(0, 120 * notches), Qt::NoButton,
                          {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &event);
    }

    TestUtil::TempDir game;
    TestUtil::TempDir older;
    TestUtil::TempDir out;
};

TEST_F(TexturePreviewTest, ChannelsShowTheirTexelsPixelForPixel) {
    App::CTexturePreview* preview = OpenPreview();
    ASSERT_NE(preview, nullptr);
    QTest::mouseClick(preview->ActualSizeButton(), Qt::LeftButton);
    for (const Channel channel :
         {Channel::Alpha, Channel::Red, Channel::Green, Channel::Blue, Channel::Colour}) {
        QTest::mouseClick(preview->ChannelButton(channel), Qt::LeftButton);
        ASSERT_EQ(preview->ShownChannel(), channel);
        EXPECT_TRUE(preview->ChannelButton(channel)->isChecked());
        const QImage shown = preview->Shown();
        ASSERT_EQ(shown.size(), QSize(kWidth, kHeight));
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const QColor want = Expected(kTexels[x], channel);
                EXPECT_TRUE(Near(shown.pixelColor(x, y), want))
                    << int(channel) << " at " << x << "," << y << ": "
                    << shown.pixelColor(x, y).name().toStdString() << " for "
                    << want.name().toStdString();
            }
        }
    }
}

// The wheel zooms by steps around the picture, 1:1 and 适合 set it; enlarged, each texel is
// a square of its own colour.
TEST_F(TexturePreviewTest, WheelFitAndActualSizeZoom) {
    App::CTexturePreview* preview = OpenPreview();
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->Zoom(), 1.0);
    EXPECT_EQ(preview->Shown().size(), QSize(kWidth, kHeight));
    Wheel(preview, 1);
    EXPECT_DOUBLE_EQ(preview->Zoom(), App::CTexturePreview::kZoomStep);
    EXPECT_EQ(preview->Shown().size(), QSize(5, 3));
    Wheel(preview, -2);
    EXPECT_DOUBLE_EQ(preview->Zoom(), 1 / App::CTexturePreview::kZoomStep);
    QTest::mouseClick(preview->ActualSizeButton(), Qt::LeftButton);
    EXPECT_EQ(preview->Zoom(), 1.0);

    preview->resize(500, 300);
    QTest::mouseClick(preview->FitButton(), Qt::LeftButton);
    const QSize room = preview->Area()->viewport()->size();
    const double fitting = std::min(room.width() / double(kWidth), room.height() / double(kHeight));
    EXPECT_DOUBLE_EQ(preview->Zoom(), std::min(fitting, App::CTexturePreview::kMaxZoom));
    Wheel(preview, 40);
    EXPECT_EQ(preview->Zoom(), App::CTexturePreview::kMaxZoom);
    const QImage shown = preview->Shown();
    const int side = int(App::CTexturePreview::kMaxZoom);
    ASSERT_EQ(shown.size(), QSize(kWidth * side, kHeight * side));
    QTest::mouseClick(preview->ChannelButton(Channel::Red), Qt::LeftButton);
    const QImage red = preview->Shown();
    for (int x = 0; x < kWidth; ++x) {
        EXPECT_EQ(red.pixelColor(x * side + side / 2, side + 3),
                  Expected(kTexels[x], Channel::Red));
        EXPECT_EQ(red.pixelColor(x * side + 1, 1), Expected(kTexels[x], Channel::Red));
    }
}

// 另存为PNG writes the file `vell texture` writes, byte for byte, whatever is shown.
TEST_F(TexturePreviewTest, SaveAsPngWritesWhatVellTextureWrites) {
    App::CTexturePreview* preview = OpenPreview();
    ASSERT_NE(preview, nullptr);
    QTest::mouseClick(preview->ChannelButton(Channel::Alpha), Qt::LeftButton);
    Wheel(preview, 3);
    answers.saveFiles.push_back(QString::fromStdString(out / "saved.png"));
    QTest::mouseClick(preview->SaveButton(), Qt::LeftButton);
    ASSERT_FALSE(answers.saveStarts.empty());
    EXPECT_TRUE(answers.saveStarts.back().endsWith("four.png"))
        << answers.saveStarts.back().toStdString();
    EXPECT_TRUE(answers.messages.empty());
    const TestUtil::RunResult run = TestUtil::Run(
        VELL_CLI_BINARY, {"texture", game.Path(), "tex/four.dds", "-o", out / "vell.png"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(TestUtil::ReadText(out / "saved.png"), TestUtil::ReadText(out / "vell.png"));

    // A place that can't be written says so, and writes nothing.
    answers.saveFiles.push_back(QString::fromStdString(out / "no-such-folder/saved.png"));
    QTest::mouseClick(preview->SaveButton(), Qt::LeftButton);
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(out / "no-such-folder"));
}

// Each window beside the main one closes with Escape typed into it, as into a dialog.
TEST_F(TexturePreviewTest, EscapeClosesEveryChildWindow) {
    struct Row {
        const char* name;
        std::function<QWidget*()> open;
    };
    const Row rows[] = {
        {"texture preview", [&]() -> QWidget* { return OpenPreview(); }},
        {"file viewer",
         [&]() -> QWidget* {
             DoubleClick("docs/readme.txt");
             return Opened<App::CFileViewer>(frame.get());
         }},
        {"sources",
         [&]() -> QWidget* {
             Choose("docs/readme.txt", Cmd::kShowSources);
             auto* table = Opened<QTableWidget>(frame.get());
             return table ? table->window() : nullptr;
         }},
        {"removed files",
         [&]() -> QWidget* {
             answers.folders.push_back(QString::fromStdString(older.Path()));
             ClickMenuItem(Cmd::kFileCompare);
             EXPECT_TRUE(QTest::qWaitFor([&] { return !answers.messages.empty(); }));
             auto* list = Opened<QListWidget>(frame.get());
             return list ? list->window() : nullptr;
         }},
        {"keys",
         [&]() -> QWidget* {
             QTest::keyClick(frame.get(), Qt::Key_F1);
             return Opened<App::CHelpDlg>(frame.get());
         }},
        {"gallery",
         [&]() -> QWidget* {
             ClickMenuItem(Cmd::kGallery);
             return frame->Gallery();
         }},
    };
    for (const Row& row : rows) {
        QPointer<QWidget> window = row.open();
        ASSERT_TRUE(window) << row.name;
        ASSERT_NE(window, frame.get()) << row.name;
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window)) << row.name;
        QWidget* focus = window->focusWidget() ? window->focusWidget() : window.data();
        QTest::keyClick(focus, Qt::Key_Escape);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window || !window->isVisible(); })) << row.name;
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    }
}

}  // namespace
