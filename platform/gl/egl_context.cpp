// The headless context: EGL without a surface, for tests and batch work.
#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cstdio>

#include "platform/gl/gl_context.h"

namespace {
// The EGL display is made once per process and kept: terminating it while
// another device still has a context would pull that context away.
EGLDisplay HeadlessDisplay() {
    static EGLDisplay display = [] {
        EGLDisplay d = EGL_NO_DISPLAY;
        if (epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless"))
            d = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY,
                                         nullptr);
        if (d == EGL_NO_DISPLAY) d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        EGLint major = 0, minor = 0;
        if (d != EGL_NO_DISPLAY && !eglInitialize(d, &major, &minor)) {
            std::fprintf(stderr, "EGL: eglInitialize failed (0x%x)\n", eglGetError());
            d = EGL_NO_DISPLAY;
        }
        return d;
    }();
    return display;
}

class HeadlessContext : public mtxGlContext {
  public:
    HeadlessContext(EGLDisplay display, EGLContext context)
        : display_(display), context_(context) {}
    ~HeadlessContext() override {
        if (eglGetCurrentContext() == context_)
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display_, context_);
    }
    int MakeCurrent() override {
        return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) ? 1 : 0;
    }
    void DrawableSize(int* width, int* height) override { *width = *height = 0; }
    bool HasWindow() const override { return false; }

  private:
    EGLDisplay display_;
    EGLContext context_;
};

}  // namespace

std::unique_ptr<mtxGlContext> mtxGlContext::CreateHeadless() {
    EGLDisplay display = HeadlessDisplay();
    if (display == EGL_NO_DISPLAY) {
        std::fprintf(stderr, "EGL: no display\n");
        return nullptr;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        std::fprintf(stderr, "EGL: OpenGL API not available\n");
        return nullptr;
    }
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                 3,
                                 EGL_CONTEXT_MINOR_VERSION,
                                 3,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                 EGL_NONE};
    // Surfaceless: every drawing goes to framebuffer objects of the device.
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) {
        std::fprintf(stderr, "EGL: no OpenGL 3.3 core context (0x%x)\n", eglGetError());
        return nullptr;
    }
    auto result = std::make_unique<HeadlessContext>(display, context);
    if (!result->MakeCurrent()) {
        std::fprintf(stderr, "EGL: cannot make the context current (0x%x)\n", eglGetError());
        return nullptr;
    }
    return result;
}
