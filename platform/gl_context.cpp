#include "platform/gl_context.h"

#include <SDL2/SDL.h>
#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cstdio>

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
    void Swap() override {}
    void DrawableSize(int* width, int* height) override { *width = *height = 0; }
    bool HasWindow() const override { return false; }

  private:
    EGLDisplay display_;
    EGLContext context_;
};

class WindowContext : public mtxGlContext {
  public:
    WindowContext(SDL_Window* window, SDL_GLContext context) : window_(window), context_(context) {}
    ~WindowContext() override { SDL_GL_DeleteContext(context_); }
    int MakeCurrent() override { return SDL_GL_MakeCurrent(window_, context_) == 0 ? 1 : 0; }
    void Swap() override { SDL_GL_SwapWindow(window_); }
    void DrawableSize(int* width, int* height) override {
        SDL_GL_GetDrawableSize(window_, width, height);
    }
    bool HasWindow() const override { return true; }

  private:
    SDL_Window* window_;
    SDL_GLContext context_;
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

std::unique_ptr<mtxGlContext> mtxGlContext::CreateForWindow(void* window) {
    auto* sdlWindow = static_cast<SDL_Window*>(window);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GLContext context = SDL_GL_CreateContext(sdlWindow);
    if (!context) {
        std::fprintf(stderr, "SDL: no OpenGL 3.3 core context: %s\n", SDL_GetError());
        return nullptr;
    }
    auto result = std::make_unique<WindowContext>(sdlWindow, context);
    if (!result->MakeCurrent()) return nullptr;
    SDL_GL_SetSwapInterval(0);
    return result;
}
