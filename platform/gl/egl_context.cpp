// The headless context: EGL without a surface, for tests and batch work.
#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <mutex>

#include "platform/gl/driver_modules.h"
#include "platform/gl/gl_context.h"

namespace {

// The EGL display is shared by every headless context of the process and
// terminated when the last one goes: terminating it earlier would pull the
// others' contexts away, and never terminating it leaves the driver's
// threads (rasterisers, shader cache) to be torn down while the process
// exits, where leak checkers that stop every thread trip over them.
class SharedDisplay {
  public:
    // The initialised display with one more user, or EGL_NO_DISPLAY.
    static EGLDisplay Acquire() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (users_ == 0 && !Initialize()) return EGL_NO_DISPLAY;
        ++users_;
        return display_;
    }
    static void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (users_ == 0 || --users_ > 0) return;
        eglTerminate(display_);
        eglReleaseThread();
        display_ = EGL_NO_DISPLAY;
    }

  private:
    static bool Initialize() {
        mtxGlPrepareDriver();
        EGLDisplay d = EGL_NO_DISPLAY;
        if (epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless"))
            d = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY,
                                         nullptr);
        if (d == EGL_NO_DISPLAY) d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        if (d == EGL_NO_DISPLAY) {
            std::fprintf(stderr, "EGL: no display\n");
            return false;
        }
        EGLint major = 0, minor = 0;
        if (!eglInitialize(d, &major, &minor)) {
            std::fprintf(stderr, "EGL: eglInitialize failed (0x%x)\n", eglGetError());
            return false;
        }
        mtxGlPinDriverModules();
        display_ = d;
        return true;
    }

    static inline std::mutex mutex_;
    static inline EGLDisplay display_ = EGL_NO_DISPLAY;
    static inline int users_ = 0;
};

class HeadlessContext : public mtxGlContext {
  public:
    HeadlessContext(EGLDisplay display, EGLContext context)
        : display_(display), context_(context) {}
    ~HeadlessContext() override {
        if (eglGetCurrentContext() == context_)
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display_, context_);
        SharedDisplay::Release();
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
    EGLDisplay display = SharedDisplay::Acquire();
    if (display == EGL_NO_DISPLAY) return nullptr;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        std::fprintf(stderr, "EGL: OpenGL API not available\n");
        SharedDisplay::Release();
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
        SharedDisplay::Release();
        return nullptr;
    }
    auto result = std::make_unique<HeadlessContext>(display, context);
    if (!result->MakeCurrent()) {
        std::fprintf(stderr, "EGL: cannot make the context current (0x%x)\n", eglGetError());
        return nullptr;
    }
    return result;
}
