#pragma once
#include <memory>
#include <string_view>

#include "platform/geometry.h"

// An OpenGL 3.3 core context for the device, either on a window (SDL) or
// without one (EGL surfaceless, Mesa's llvmpipe where there is no GPU).
// Internal to platform/; names no GL, EGL or SDL type.
class mtxGlContext {
  public:
    virtual ~mtxGlContext() = default;
    // Null when no context can be made; the reason goes to standard error.
    static std::unique_ptr<mtxGlContext> CreateHeadless();
    // surface: a child window's mtxGlDeviceSurface; the context shares its
    // objects with the top-level window's compositor.
    static std::unique_ptr<mtxGlContext> CreateForWindow(void* surface);

    // 1 when the context is current on this thread afterwards.
    virtual int MakeCurrent() = 0;
    // Hands the back buffer's texture (width x height) to the window's
    // compositor, which shows it in the child window's area; dirty (back
    // buffer pixels, null for all) is what changed since the last present;
    // drawn, a GL sync object signalled when the drawing is done, becomes the
    // compositor's. Afterwards another context may be current.
    virtual void Present(unsigned, int, int, const RECT*, void*) {}
    // Size of the window's framebuffer; 0 x 0 headless.
    virtual void DrawableSize(int* width, int* height) = 0;
    virtual bool HasWindow() const = 0;
};

// Whether the current context draws with Mesa's software rasterisers, where
// the CPU draws every pixel.
bool mtxGlRendersInSoftware();
// A GLSL version as a #version line names it ("400", "330 core") or as
// GL_SHADING_LANGUAGE_VERSION reads ("4.50 Mesa"), as a number (400, 330,
// 450); 0 when the text does not start with one.
int mtxGlslNumber(std::string_view text);
