// The view's pictures of a chosen size: its scene drawn into a framebuffer object of that
// size in the view's own context, so that the textures it made are used as they are.
#include <GL/gl.h>

#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>

#include "GlView.h"
#include "picture/picture.h"

namespace App {

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint8_t kOpaque = 255;

}  // namespace

std::vector<uint8_t> CVellModelBrowserRenderView::DrawOver(uint32_t background, QSize size) {
    m_core.m_clrBackground = background;
    BeginPicture();
    m_core.Render();
    TintModel();
    glFinish();
    std::vector<uint8_t> rgba(std::size_t(size.width()) * std::size_t(size.height()) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

QImage CVellModelBrowserRenderView::PictureAt(QSize size, bool transparent) {
    if (!m_initialized || size.isEmpty()) {
        return {};
    }
    makeCurrent();
    QOpenGLFramebufferObject buffer(size, QOpenGLFramebufferObject::Depth);
    if (!buffer.isValid() || !buffer.bind()) {
        doneCurrent();
        return {};
    }
    const int width = m_core.m_nWidth;
    const int height = m_core.m_nHeight;
    const uint32_t background = m_core.m_clrBackground;
    m_core.OnSize(size.width(), size.height());
    std::vector<uint8_t> rgba;
    if (transparent) {
        rgba = DrawOver(kBlack, size);
        Picture::Unblend(rgba, DrawOver(kWhite, size));
    } else {
        rgba = DrawOver(background, size);
        for (std::size_t p = 3; p < rgba.size(); p += 4) {
            rgba[p] = kOpaque;
        }
    }
    m_core.m_clrBackground = background;
    m_core.OnSize(width, height);
    context()->functions()->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
    Picture::FlipRows(rgba, size.width(), size.height());
    // The window shows the scene at its own size again at the next tick.
    m_core.Invalidate();
    QImage image(rgba.data(), size.width(), size.height(), qsizetype{size.width()} * 4,
                 QImage::Format_RGBA8888);
    return transparent ? image.copy() : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace App
