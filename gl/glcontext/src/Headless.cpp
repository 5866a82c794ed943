#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <string_view>

#include "glcontext/glcontext.h"
#include "texture/texture.h"

namespace GlContext {
namespace {

constexpr int kMaxSide = 16384;

bool HasExtension(const char* list, std::string_view name) {
    std::string_view rest = list ? list : "";
    while (!rest.empty()) {
        std::size_t end = rest.find(' ');
        if (rest.substr(0, end) == name) {
            return true;
        }
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return false;
}

const char* EglErrorName(EGLint code) {
    switch (code) {
        case EGL_NOT_INITIALIZED:
            return "EGL_NOT_INITIALIZED";
        case EGL_BAD_ALLOC:
            return "EGL_BAD_ALLOC";
        case EGL_BAD_CONFIG:
            return "EGL_BAD_CONFIG";
        case EGL_BAD_CONTEXT:
            return "EGL_BAD_CONTEXT";
        case EGL_BAD_DISPLAY:
            return "EGL_BAD_DISPLAY";
        case EGL_BAD_MATCH:
            return "EGL_BAD_MATCH";
        case EGL_BAD_PARAMETER:
            return "EGL_BAD_PARAMETER";
        case EGL_BAD_ATTRIBUTE:
            return "EGL_BAD_ATTRIBUTE";
        default:
            return nullptr;
    }
}

std::string EglError(const char* what) {
    EGLint code = eglGetError();
    char text[128];
    if (const char* name = EglErrorName(code)) {
        std::snprintf(text, sizeof text, "%s: %s", what, name);
    } else {
        std::snprintf(text, sizeof text, "%s: EGL error 0x%04X", what, static_cast<unsigned>(code));
    }
    return text;
}

void* LookUp(const char* name) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

template <typename Function>
bool Fetch(Function& function, const char* name) {
    function = reinterpret_cast<Function>(eglGetProcAddress(name));
    return function != nullptr;
}

// Mesa's surfaceless platform needs neither a window system nor a GPU; the default display
// is the fallback for EGL implementations without it.
EGLDisplay OpenDisplay(std::string& why) {
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay) {
            EGLDisplay display =
                getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
            if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) {
                return display;
            }
            why = EglError("surfaceless display");
        }
    }
    EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) {
        return display;
    }
    why += (why.empty() ? "" : "; ") + EglError("default display");
    return EGL_NO_DISPLAY;
}

EGLConfig ChooseConfig(EGLDisplay display) {
    if (HasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_no_config_context")) {
        return EGL_NO_CONFIG_KHR;
    }
    const EGLint attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, attributes, &config, 1, &count) || count == 0) {
        return nullptr;
    }
    return config;
}

EGLContext MakeContext(EGLDisplay display, EGLConfig config) {
    const EGLint compatibility[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                    EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, compatibility);
    if (context == EGL_NO_CONTEXT) {
        // EGL before 1.5 without the profile attribute: the default desktop context is the
        // compatibility one.
        context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    }
    return context;
}

}  // namespace

struct Headless::State {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    Texture::GpuTextures textures;
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;

    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;

    bool FetchFramebufferFunctions() {
        return Fetch(genFramebuffers, "glGenFramebuffers") &&
               Fetch(deleteFramebuffers, "glDeleteFramebuffers") &&
               Fetch(bindFramebuffer, "glBindFramebuffer") &&
               Fetch(framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
               Fetch(checkFramebufferStatus, "glCheckFramebufferStatus") &&
               Fetch(genRenderbuffers, "glGenRenderbuffers") &&
               Fetch(deleteRenderbuffers, "glDeleteRenderbuffers") &&
               Fetch(bindRenderbuffer, "glBindRenderbuffer") &&
               Fetch(renderbufferStorage, "glRenderbufferStorage");
    }

    void DeleteBuffers() {
        if (framebuffer) {
            bindFramebuffer(GL_FRAMEBUFFER, 0);
            deleteFramebuffers(1, &framebuffer);
            deleteRenderbuffers(1, &colour);
            deleteRenderbuffers(1, &depth);
            framebuffer = colour = depth = 0;
        }
    }
};

std::unique_ptr<Headless> Headless::Create(int width, int height, std::string* error) {
    auto fail = [&](const std::string& why) -> std::unique_ptr<Headless> {
        if (error) {
            *error = "no OpenGL context: " + why;
        }
        return nullptr;
    };
    auto state = std::make_unique<State>();
    std::string why;
    state->display = OpenDisplay(why);
    if (state->display == EGL_NO_DISPLAY) {
        return fail("no EGL display (" + why + ")");
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        return fail(EglError("binding desktop OpenGL"));
    }
    EGLConfig config = ChooseConfig(state->display);
    state->context = MakeContext(state->display, config);
    if (state->context == EGL_NO_CONTEXT) {
        return fail(EglError("creating the context"));
    }
    std::unique_ptr<Headless> headless(new Headless(std::move(state)));
    State& s = *headless->m_state;
    if (!headless->MakeCurrent()) {
        return fail(EglError("making the context current"));
    }
    if (!s.FetchFramebufferFunctions()) {
        return fail("the context has no framebuffer objects");
    }
    if (!headless->MakeBuffers(width, height)) {
        return fail("can't make a " + std::to_string(width) + "x" + std::to_string(height) +
                    " framebuffer");
    }
    Texture::SetProcAddressFunction(&LookUp);
    return headless;
}

Headless::Headless(std::unique_ptr<State> state) : m_state(std::move(state)) {}

Headless::~Headless() {
    State& s = *m_state;
    if (s.context == EGL_NO_CONTEXT) {
        return;
    }
    if (eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, s.context)) {
        s.textures.Release();
        s.DeleteBuffers();
    }
    eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(s.display, s.context);
    // The display stays initialised: EGL hands every caller the same display, and other
    // contexts may still use it.
}

bool Headless::MakeCurrent() {
    if (!eglMakeCurrent(m_state->display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_state->context)) {
        return false;
    }
    m_state->textures.MakeCurrent();
    return true;
}

void Headless::DoneCurrent() {
    eglMakeCurrent(m_state->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

bool Headless::Resize(int width, int height) {
    return MakeCurrent() && MakeBuffers(width, height);
}

bool Headless::MakeBuffers(int width, int height) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
        return false;
    }
    State& s = *m_state;
    s.DeleteBuffers();
    s.genFramebuffers(1, &s.framebuffer);
    s.genRenderbuffers(1, &s.colour);
    s.genRenderbuffers(1, &s.depth);
    s.bindRenderbuffer(GL_RENDERBUFFER, s.colour);
    s.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    s.bindRenderbuffer(GL_RENDERBUFFER, s.depth);
    s.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    s.bindRenderbuffer(GL_RENDERBUFFER, 0);
    s.bindFramebuffer(GL_FRAMEBUFFER, s.framebuffer);
    s.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, s.colour);
    s.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, s.depth);
    if (s.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        s.DeleteBuffers();
        return false;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glViewport(0, 0, width, height);
    m_width = width;
    m_height = height;
    return true;
}

std::vector<uint8_t> Headless::ReadPixels() const {
    std::vector<uint8_t> pixels(std::size_t(m_width) * m_height * 4);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, m_width, m_height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    return pixels;
}

}  // namespace GlContext
