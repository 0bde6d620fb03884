// The window context: an OpenGL context on the SDL window of a child window's
// top-level window, sharing its objects with that window's compositor.
#include <SDL2/SDL.h>
#include <epoxy/gl.h>

#include <cstdio>

#include "platform/gl/gl_compositor.h"
#include "platform/gl/gl_context.h"

namespace {

class WindowContext : public mtxGlContext {
  public:
    WindowContext(const mtxGlDeviceSurface& surface, SDL_GLContext context)
        : surface_(surface), context_(context) {}
    ~WindowContext() override {
        // The compositor must not draw a texture that is about to go.
        if (mtxGlCompositor* compositor = mtxGlCompositor::Of(surface_.display, false))
            compositor->RemoveLayer(surface_.layer);
        SDL_GL_DeleteContext(context_);
    }
    int MakeCurrent() override {
        return SDL_GL_MakeCurrent(static_cast<SDL_Window*>(surface_.display), context_) == 0 ? 1
                                                                                             : 0;
    }
    void Present(unsigned texture, int width, int height, const RECT* dirty, void* drawn) override {
        mtxGlCompositor* compositor = mtxGlCompositor::Of(surface_.display, false);
        if (!compositor) {
            glDeleteSync(static_cast<GLsync>(drawn));
            return;
        }
        compositor->SetLayerSource(surface_.layer, texture, width, height, dirty, drawn);
        compositor->Compose();
    }
    void DrawableSize(int* width, int* height) override {
        SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(surface_.display), width, height);
    }
    bool HasWindow() const override { return true; }

  private:
    mtxGlDeviceSurface surface_;  // a copy: the window's record may go first
    SDL_GLContext context_;
};

}  // namespace

std::unique_ptr<mtxGlContext> mtxGlContext::CreateForWindow(void* surfacePointer) {
    const auto& surface = *static_cast<const mtxGlDeviceSurface*>(surfacePointer);
    mtxGlCompositor* compositor = mtxGlCompositor::Of(surface.display, true);
    if (!compositor) return nullptr;
    auto* window = static_cast<SDL_Window*>(surface.display);
    SDL_GL_MakeCurrent(window, compositor->Context());
    mtxGlForgetCurrentDevice();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    if (!context) {
        std::fprintf(stderr, "SDL: no OpenGL 3.3 core context: %s\n", SDL_GetError());
        return nullptr;
    }
    auto result = std::make_unique<WindowContext>(surface, context);
    if (!result->MakeCurrent()) return nullptr;
    SDL_GL_SetSwapInterval(0);
    return result;
}
