#pragma once
#include <memory>

// An OpenGL 3.3 core context for the device, either on a window (SDL) or
// without one (EGL surfaceless, Mesa's llvmpipe where there is no GPU).
// Internal to platform/; names no GL, EGL or SDL type.
class mtxGlContext {
  public:
    virtual ~mtxGlContext() = default;
    // Null when no context can be made; the reason goes to standard error.
    static std::unique_ptr<mtxGlContext> CreateHeadless();
    // window: an SDL_Window created with SDL_WINDOW_OPENGL.
    static std::unique_ptr<mtxGlContext> CreateForWindow(void* window);

    // 1 when the context is current on this thread afterwards.
    virtual int MakeCurrent() = 0;
    // Shows what was drawn into the window's framebuffer (no-op headless).
    virtual void Swap() = 0;
    // Size of the window's framebuffer; 0 x 0 headless.
    virtual void DrawableSize(int* width, int* height) = 0;
    virtual bool HasWindow() const = 0;
};
