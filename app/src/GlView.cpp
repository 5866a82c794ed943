#include "GlView.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWheelEvent>
#include <optional>
#include <sstream>

#include "ViewKeys.h"
#include "model/model.h"
#include "texture/texture.h"

namespace App {

namespace {

constexpr int kFramePeriodMs = 10;
constexpr int kDepthBits = 24;

void* ContextProcAddress(const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

uint32_t KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    uint32_t state = 0;
    if (buttons & Qt::LeftButton) {
        state |= View::kLeftButton;
    }
    if (buttons & Qt::RightButton) {
        state |= View::kRightButton;
    }
    if (buttons & Qt::MiddleButton) {
        state |= View::kMiddleButton;
    }
    if (modifiers & Qt::ShiftModifier) {
        state |= View::kShiftKey;
    }
    if (modifiers & Qt::ControlModifier) {
        state |= View::kControlKey;
    }
    return state;
}

std::optional<View::MouseEvent> ToMouseEvent(QEvent* event) {
    View::MouseEvent out;
    switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint p = mouse->position().toPoint();
            out.x = p.x();
            out.y = p.y();
            out.keyState = KeyState(mouse->buttons(), mouse->modifiers());
            if (event->type() == QEvent::MouseMove) {
                out.kind = View::MouseKind::Move;
            } else if (mouse->button() == Qt::LeftButton) {
                out.kind = View::MouseKind::LeftDown;
            } else if (mouse->button() == Qt::RightButton) {
                out.kind = View::MouseKind::RightDown;
            }
            return out;
        }
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            out.kind = View::MouseKind::Wheel;
            out.wheelDelta = wheel->angleDelta().y();
            out.keyState = KeyState(wheel->buttons(), wheel->modifiers());
            return out;
        }
        default:
            return std::nullopt;
    }
}

// A widget that takes typed text: hovering the view leaves the keyboard with it.
bool IsTextField(const QWidget* widget) {
    if (!widget) {
        return false;
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        return combo->isEditable();
    }
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget);
}

struct CameraState {
    int32_t rotX, rotY, rotZ;
    float panX, panY, zoom;
    bool operator==(const CameraState&) const = default;
};

CameraState Camera(const View::CRenderViewCore& core) {
    return {core.m_nRotX, core.m_nRotY, core.m_nRotZ, core.m_fPanX, core.m_fPanY, core.m_fZoom};
}

QSurfaceFormat ViewFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(0);
    format.setDepthBufferSize(kDepthBits);
    return format;
}

}  // namespace

CVellModelBrowserRenderView::CVellModelBrowserRenderView(QWidget* parent) : QOpenGLWidget(parent) {
    setFormat(ViewFormat());
    // The framebuffer keeps what the timer drew until the widget is composed.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(1, 1);
    m_core.SetCloseRequest([this] { Q_EMIT CloseRequested(); });
    // The core's timer tick decides when to draw; a picture it draws is shown as it is.
    m_core.SetDrawOnChange(true);
    m_core.SetMakeCurrent([this] {
        makeCurrent();
        BeginPicture();
    });
    m_core.SetSwapBuffers([this] {
        FinishPicture();
        m_frameDrawn = true;
        update();
    });
    m_timer.setInterval(kFramePeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &CVellModelBrowserRenderView::OnTimer);
}

CVellModelBrowserRenderView::~CVellModelBrowserRenderView() {
    m_timer.stop();
    // Textures and display lists die with the context: make it current for their owners.
    if (m_initialized) {
        makeCurrent();
        m_textures.Release();
        // The base class destroys the context after this object's members are gone: its
        // signal must no longer reach them.
        disconnect(context(), nullptr, this, nullptr);
    }
}

void CVellModelBrowserRenderView::initializeGL() {
    Texture::SetProcAddressFunction(&ContextProcAddress);
    m_textures.MakeCurrent();
    // The widget's context may be made anew (a new top-level window): its textures go first.
    connect(
        context(), &QOpenGLContext::aboutToBeDestroyed, this,
        [this] {
            makeCurrent();
            m_textures.Release();
        },
        Qt::DirectConnection);
    m_core.InitGL();
    m_initialized = true;
    m_timer.start();
    setFocus();
}

QSize ViewPixels(QSize size, qreal ratio) {
    return size * ratio;
}

void CVellModelBrowserRenderView::resizeGL(int width, int height) {
    const QSize pixels = ViewPixels(QSize(width, height), devicePixelRatio());
    m_core.OnSize(pixels.width(), pixels.height());
    m_frameDrawn = false;  // the framebuffer was made anew
}

void CVellModelBrowserRenderView::paintGL() {
    // A frame the timer drew is already in the framebuffer: show it as it is.
    if (m_frameDrawn) {
        m_frameDrawn = false;
        return;
    }
    DrawScene();
}

void CVellModelBrowserRenderView::DrawScene() {
    BeginPicture();
    m_core.Render();
    FinishPicture();
}

void CVellModelBrowserRenderView::BeginPicture() {
    m_textures.MakeCurrent();
    ++m_pictures;
}

void CVellModelBrowserRenderView::FinishPicture() {
    // What the picture no longer uses goes now, not at the next load.
    m_textures.DeleteReleased();
    TintModel();
    // The clear colour's alpha is 0; the picture is opaque all the same, also when it is
    // read back or composed into the window.
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

// Multiplies every pixel nearer than the far plane (the model, and the axes drawn with it)
// by the model colour; the background keeps its colour.
void CVellModelBrowserRenderView::TintModel() {
    if (m_modelColor == QColor(Qt::white)) {
        return;
    }
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_GREATER);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glColor3f(m_modelColor.redF(), m_modelColor.greenF(), m_modelColor.blueF());
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, 1);
    glVertex3f(1, -1, 1);
    glVertex3f(1, 1, 1);
    glVertex3f(-1, 1, 1);
    glEnd();
    glPopAttrib();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void CVellModelBrowserRenderView::RenderFrame() {
    m_core.RenderFrame();
}

QImage CVellModelBrowserRenderView::Picture() {
    // A frame the timer drew may predate the last change (a load while paint events wait on
    // a busy machine): the picture is drawn anew from the scene as it is now.
    m_frameDrawn = false;
    return grabFramebuffer().convertToFormat(QImage::Format_RGB32);
}

void CVellModelBrowserRenderView::OnTimer() {
    if (!m_initialized) {
        return;
    }
    const int shown = m_core.ShownFrame();
    if (m_core.OnTimer() && m_core.ShownFrame() != shown) {
        Q_EMIT FrameShown(m_core.ShownFrame());
    }
}

bool CVellModelBrowserRenderView::PreTranslateMessage(QEvent* event) {
    if (const auto mouse = ToMouseEvent(event)) {
        const CameraState before = Camera(m_core);
        m_core.PreTranslateMessage(*mouse);
        if (!(Camera(m_core) == before)) {
            m_core.Invalidate();
        }
    }
    return false;
}

void CVellModelBrowserRenderView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == kReframeKey && event->modifiers() == Qt::NoModifier) {
        m_core.ResetCamera();
        m_core.Invalidate();
        return;
    }
    const View::Key key = ViewKeyFor(event->key());
    if (key == View::Key::Other) {
        QOpenGLWidget::keyPressEvent(event);
        return;
    }
    m_core.OnKeyDown(key);
    m_core.Invalidate();
}

void CVellModelBrowserRenderView::mouseMoveEvent(QMouseEvent* event) {
    if (!IsTextField(QApplication::focusWidget())) {
        setFocus();
    }
    QOpenGLWidget::mouseMoveEvent(event);
}

std::vector<std::string> SplitExtensions(const std::string& text) {
    std::vector<std::string> names;
    std::istringstream stream(text);
    std::string name;
    while (std::getline(stream, name, ' ')) {
        if (!name.empty()) {
            names.push_back(name);
        }
    }
    return names;
}

const GlInfo& GetGlInfo(CVellModelBrowserRenderView& view) {
    static std::optional<GlInfo> info;
    if (info || !view.HasContext()) {
        static const GlInfo empty;
        return info ? *info : empty;
    }
    view.makeCurrent();
    const auto text = [](const GLubyte* s) {
        return s ? std::string(reinterpret_cast<const char*>(s)) : std::string();
    };
    info = GlInfo{text(glGetString(GL_VERSION)), text(gluGetString(GLU_VERSION)),
                  text(glGetString(GL_RENDERER)), text(glGetString(GL_VENDOR)),
                  SplitExtensions(text(glGetString(GL_EXTENSIONS)))};
    return *info;
}

}  // namespace App
