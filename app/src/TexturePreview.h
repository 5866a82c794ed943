// The texture preview: a window showing a DDS file decoded by the software decoder over a
// checkerboard where it is transparent. It opens at the texture's own size (scaled down to
// fit the screen); the wheel zooms, 适合 fits the window and 1:1 shows every texel as one
// pixel. It shows the colours, the alpha alone or one of R, G and B as grey, and 另存为PNG
// writes the decoded texture as `vell texture` does.
#pragma once

#include <QDialog>
#include <QImage>

class QAbstractButton;
class QLabel;
class QScrollArea;
class QWidget;

namespace PakMgr {
struct ITreeNode;
}

namespace Dds {
struct DdsImage;
}

namespace App {

class CTexturePreview final : public QDialog {
    Q_OBJECT
public:
    enum class Channel { Colour, Alpha, Red, Green, Blue };
    // Zoom steps: one wheel notch multiplies or divides by kZoomStep.
    static constexpr double kZoomStep = 1.25;
    static constexpr double kMinZoom = 1.0 / 32;
    static constexpr double kMaxZoom = 32;

    // `rgba` is 8-bit RGBA, top row first; `name` is the file's (the PNG is proposed by it),
    // `title` names it with its size and format.
    CTexturePreview(QWidget* owner, const QImage& rgba, const QString& name, const QString& title);

    // The picture as shown now, whole: zoom, channel and checkerboard.
    QImage Shown() const;
    double Zoom() const { return m_zoom; }
    Channel ShownChannel() const { return m_channel; }
    // The tool bar's buttons, for the keyboard and the tests: 适合, 1:1, the channels in
    // Channel's order, 另存为PNG.
    QAbstractButton* FitButton() const { return m_fit; }
    QAbstractButton* ActualSizeButton() const { return m_actual; }
    QAbstractButton* ChannelButton(Channel channel) const;
    QAbstractButton* SaveButton() const { return m_save; }
    QScrollArea* Area() const { return m_area; }

    void SetZoom(double zoom);
    void FitToWindow();
    void SetChannel(Channel channel);
    // Asks where, then writes the decoded texture as a PNG file (what `vell texture` writes).
    void SaveAsPng();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class Canvas;
    void Retranslate();
    void ShowZoom();

    QImage m_rgba;     // as decoded
    QImage m_picture;  // the channel shown, ready to draw
    QString m_name;
    double m_zoom = 1;
    Channel m_channel = Channel::Colour;
    Canvas* m_canvas = nullptr;
    QScrollArea* m_area = nullptr;
    QLabel* m_zoomText = nullptr;
    QAbstractButton* m_fit = nullptr;
    QAbstractButton* m_actual = nullptr;
    QAbstractButton* m_channels[5] = {};
    QAbstractButton* m_save = nullptr;
};

// The picture of one channel of `rgba` (Format_RGBA8888): the colours as they are, or the
// alpha or one colour channel as opaque grey.
QImage ChannelPicture(const QImage& rgba, CTexturePreview::Channel channel);

// Opens a preview window for the node, or says why the texture can't be shown.
void ShowTexturePreview(QWidget* owner, PakMgr::ITreeNode* node);
// Opens a preview window for a texture already read; `name` titles it.
void ShowTexturePreview(QWidget* owner, const Dds::DdsImage& image, const QString& name);

}  // namespace App
