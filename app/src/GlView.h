// The OpenGL window on the right of the splitter: hosts the render view's core, owns the
// GL context and drives the frame timer.
#pragma once

#include <QColor>
#include <QImage>
#include <QOpenGLWidget>
#include <QTimer>

#include "texture/texture.h"
#include "view/view.h"

namespace App {

class CVellModelBrowserRenderView final : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit CVellModelBrowserRenderView(QWidget* parent = nullptr);
    ~CVellModelBrowserRenderView() override;

    View::CRenderViewCore& Core() { return m_core; }
    void ResetView() { m_core.ResetView(); }
    void ResetCamera() { m_core.ResetCamera(); }

    // The mouse camera; the frame's message filter hands every mouse event of the view here.
    bool PreTranslateMessage(QEvent* event);
    // Draws one frame into the view's framebuffer with the context current and leaves it
    // bound for reading back (frame export); the picture is shown on the next paint.
    void RenderFrame();
    // A colour that multiplies what the model draws; white leaves it as it is.
    void SetModelColor(const QColor& color) { m_modelColor = color; }
    QColor ModelColor() const { return m_modelColor; }

    // One tick of the frame timer, the core's: draw and show a picture when it would differ
    // from the one shown, then advance the animation.
    void OnTimer();
    // The picture changed (a command changed the scene): the next tick draws it.
    void Redraw() { m_core.Invalidate(); }
    // The view as drawn, at its size in device pixels, opaque.
    QImage Picture();
    // The view's scene as it is now (camera, aids, tint) drawn anew at `size` pixels into a
    // buffer of its own, opaque or on a transparent background in straight alpha; a null
    // image when the context can't make a buffer that large.
    QImage PictureAt(QSize size, bool transparent);
    // How many pictures were drawn.
    int Pictures() const { return m_pictures; }
    bool HasContext() const { return m_initialized; }
    // The GL texture names alive in the view's context.
    std::size_t TextureNames() const { return m_textures.Count(); }

Q_SIGNALS:
    void CloseRequested();
    // A tick drew a picture for a new frame of the playing animation (-1: nothing plays).
    void FrameShown(int frame);

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void DrawScene();
    // Around the core's drawing: the context's texture store first; the tint and an opaque
    // picture after.
    void BeginPicture();
    void FinishPicture();
    void TintModel();
    std::vector<uint8_t> DrawOver(uint32_t background, QSize size);

    View::CRenderViewCore m_core;
    // The textures of the models drawn in this view's context.
    Texture::GpuTextures m_textures;
    QTimer m_timer;
    QColor m_modelColor = Qt::white;
    bool m_initialized = false;
    bool m_frameDrawn = false;
    int m_pictures = 0;
};

// The framebuffer's size for a widget of `size` logical pixels, as Qt sizes it (rounded).
QSize ViewPixels(QSize size, qreal ratio);

// The GL and GLU texts of the view's context, fetched once each.
struct GlInfo {
    std::string version;
    std::string gluVersion;
    std::string renderer;
    std::string vendor;
    std::vector<std::string> extensions;
};
const GlInfo& GetGlInfo(CVellModelBrowserRenderView& view);
// Cuts the driver's extension string at blanks; empty pieces are dropped.
std::vector<std::string> SplitExtensions(const std::string& text);

}  // namespace App
