// The window context: an OpenGL context on an SDL window.
#include <SDL2/SDL.h>

#include <cstdio>

#include "platform/gl/gl_context.h"

namespace {

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
