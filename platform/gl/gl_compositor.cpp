#include "platform/gl/gl_compositor.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/gl/driver_modules.h"

namespace {

constexpr const char* kDataKey = "daubry.compositor";

constexpr const char* kVertex = R"(#version 330 core
layout(location = 0) in vec4 a_position;
out vec2 v_tex;
void main() {
    gl_Position = vec4(a_position.xy, 0.0, 1.0);
    v_tex = a_position.zw;
}
)";

constexpr const char* kPixel = R"(#version 330 core
in vec2 v_tex;
out vec4 o_color;
uniform sampler2D s0;
void main() {
    o_color = vec4(texture(s0, v_tex).rgb, 1.0);
}
)";

unsigned Compile(GLenum kind, const char* source) {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

uint64_t NowMs() {
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

RECT Clip(const RECT& r, int width, int height) {
    return {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width),
            std::min(r.bottom, height)};
}

bool Empty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

RECT Union(const RECT& a, const RECT& b) {
    if (Empty(a)) return b;
    if (Empty(b)) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

using CopySubBuffer = void (*)(void*, unsigned long, int, int, int, int);

// glXCopySubBufferMESA when the window's context is GLX and offers it (Mesa's
// software and most of its hardware drivers do); null otherwise, e.g. on EGL.
CopySubBuffer FindCopySubBuffer(SDL_Window* window, void** display, unsigned long* drawable) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    using CurrentContext = void* (*)();
    using QueryExtensions = const char* (*)(void*, int);
    auto current = reinterpret_cast<CurrentContext>(SDL_GL_GetProcAddress("glXGetCurrentContext"));
    auto query =
        reinterpret_cast<QueryExtensions>(SDL_GL_GetProcAddress("glXQueryExtensionsString"));
    if (!current || !current() || !query) return nullptr;
    Display* x = info.info.x11.display;
    const char* extensions = query(x, XDefaultScreen(x));
    if (!extensions || !std::strstr(extensions, "GLX_MESA_copy_sub_buffer")) return nullptr;
    *display = x;
    *drawable = info.info.x11.window;
    return reinterpret_cast<CopySubBuffer>(SDL_GL_GetProcAddress("glXCopySubBufferMESA"));
}

}  // namespace

mtxGlCompositor* mtxGlCompositor::Of(void* display, bool create) {
    auto* window = static_cast<SDL_Window*>(display);
    if (!window || !(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) return nullptr;
    if (auto* existing = static_cast<mtxGlCompositor*>(SDL_GetWindowData(window, kDataKey)))
        return existing;
    if (!create) return nullptr;
    auto* compositor = new mtxGlCompositor;
    compositor->window_ = window;
    if (!compositor->Init()) {
        delete compositor;
        return nullptr;
    }
    SDL_SetWindowData(window, kDataKey, compositor);
    return compositor;
}

void mtxGlCompositor::Destroy(void* display) {
    auto* window = static_cast<SDL_Window*>(display);
    if (!window) return;
    auto* compositor = static_cast<mtxGlCompositor*>(SDL_SetWindowData(window, kDataKey, nullptr));
    delete compositor;
}

int mtxGlCompositor::Init() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    context_ = SDL_GL_CreateContext(static_cast<SDL_Window*>(window_));
    if (!context_) {
        std::fprintf(stderr, "compositor: no OpenGL 3.3 context: %s\n", SDL_GetError());
        return 0;
    }
    mtxGlPinDriverModules();
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), context_);
    mtxGlForgetCurrentDevice();
    SDL_GL_SetSwapInterval(0);
    GLuint vs = Compile(GL_VERTEX_SHADER, kVertex), ps = Compile(GL_FRAGMENT_SHADER, kPixel);
    if (!vs || !ps) return 0;
    program_ = glCreateProgram();
    glAttachShader(program_, vs);
    glAttachShader(program_, ps);
    glLinkProgram(program_);
    glDeleteShader(vs);
    glDeleteShader(ps);
    GLint ok = 0;
    glGetProgramiv(program_, GL_LINK_STATUS, &ok);
    if (!ok) return 0;
    glUseProgram(program_);
    glUniform1i(glGetUniformLocation(program_, "s0"), 0);
    glGenVertexArrays(1, &vao_);
    glGenBuffers(1, &vbo_);
    glBindVertexArray(vao_);
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 16, nullptr);
    glGenTextures(1, &frameTexture_);
    glBindTexture(GL_TEXTURE_2D, frameTexture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glGenSamplers(1, &sampler_);
    glSamplerParameteri(sampler_, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glSamplerParameteri(sampler_, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    copySubBuffer_ = FindCopySubBuffer(static_cast<SDL_Window*>(window_), &xDisplay_, &xWindow_);
    return 1;
}

mtxGlCompositor::~mtxGlCompositor() {
    if (!context_) return;
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), context_);
    mtxGlForgetCurrentDevice();
    if (frameTexture_) glDeleteTextures(1, &frameTexture_);
    if (sampler_) glDeleteSamplers(1, &sampler_);
    if (vbo_) glDeleteBuffers(1, &vbo_);
    if (vao_) glDeleteVertexArrays(1, &vao_);
    if (program_) glDeleteProgram(program_);
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), nullptr);
    SDL_GL_DeleteContext(context_);
}

void mtxGlCompositor::SetFrame(const mtxOs::Bitmap& frame, const std::vector<RECT>& above) {
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), context_);
    mtxGlForgetCurrentDevice();
    glBindTexture(GL_TEXTURE_2D, frameTexture_);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, frame.width, frame.height, 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, frame.pixels.data());
    frameWidth_ = frame.width, frameHeight_ = frame.height;
    above_ = above;
    DamageAll();
}

void mtxGlCompositor::SetLayerPlace(uintptr_t layer, const RECT& dest, bool visible) {
    Layer& l = layers_[layer];
    bool moved = l.dest.left != dest.left || l.dest.top != dest.top || l.dest.right != dest.right ||
                 l.dest.bottom != dest.bottom;
    if (moved || l.visible != visible) DamageAll();
    l.dest = dest;
    l.visible = visible;
}

void mtxGlCompositor::SetLayerSource(uintptr_t layer, unsigned texture, int width, int height,
                                     const RECT* dirty) {
    Layer& l = layers_[layer];
    if (!dirty || l.texture != texture || l.width != width || l.height != height) DamageAll();
    l.texture = texture;
    l.width = width, l.height = height;
    if (dirty && l.visible) {
        // In window pixels, within what the layer shows.
        RECT shown = Shown(l, shownWidth_, shownHeight_, nullptr);
        RECT r = {l.dest.left + dirty->left, l.dest.top + dirty->top, l.dest.left + dirty->right,
                  l.dest.top + dirty->bottom};
        Damage({std::max(r.left, shown.left), std::max(r.top, shown.top),
                std::min(r.right, shown.right), std::min(r.bottom, shown.bottom)});
    }
}

void mtxGlCompositor::RemoveLayer(uintptr_t layer) {
    layers_.erase(layer);
    DamageAll();
}

void mtxGlCompositor::Damage(const RECT& r) {
    if (!Empty(r)) damage_ = Union(damage_, r);
}

// One textured quad: src in texture pixels (row 0 on top), dest in window
// pixels (row 0 on top; GL's window rows run upwards).
void mtxGlCompositor::Quad(unsigned texture, int texW, int texH, const RECT& src, const RECT& dest,
                           int winW, int winH) {
    if (dest.right <= dest.left || dest.bottom <= dest.top || texW <= 0 || texH <= 0) return;
    float x0 = 2.0f * dest.left / winW - 1, x1 = 2.0f * dest.right / winW - 1;
    float y0 = 1 - 2.0f * dest.top / winH, y1 = 1 - 2.0f * dest.bottom / winH;
    float u0 = float(src.left) / texW, u1 = float(src.right) / texW;
    float v0 = float(src.top) / texH, v1 = float(src.bottom) / texH;
    float v[16] = {x0, y0, u0, v0, x1, y0, u1, v0, x0, y1, u0, v1, x1, y1, u1, v1};
    glBindTexture(GL_TEXTURE_2D, texture);
    glBufferData(GL_ARRAY_BUFFER, sizeof v, v, GL_STREAM_DRAW);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

int mtxGlCompositor::Compose() {
    uint64_t now = NowMs();
    if (lastSwap_ && now - lastSwap_ < kMinInterval) {
        pending_ = true;
        return 1;
    }
    return Draw();
}

uint32_t mtxGlCompositor::Flush() {
    if (!pending_) return kNothingPending;
    uint64_t now = NowMs();
    if (now - lastSwap_ < kMinInterval) return uint32_t(kMinInterval - (now - lastSwap_));
    Draw();
    return kNothingPending;
}

// Where a layer shows in a window of width x height, and from where in its
// texture: its pixels start at the texture's top-left corner.
RECT mtxGlCompositor::Shown(const Layer& l, int width, int height, RECT* source) {
    RECT dest = Clip(l.dest, width, height);
    int left = dest.left - l.dest.left, top = dest.top - l.dest.top;
    dest.right = dest.left + std::max(0, std::min(int(dest.right - dest.left), l.width - left));
    dest.bottom = dest.top + std::max(0, std::min(int(dest.bottom - dest.top), l.height - top));
    if (source)
        *source = {left, top, left + (dest.right - dest.left), top + (dest.bottom - dest.top)};
    return dest;
}

int mtxGlCompositor::Draw() {
    pending_ = false;
    auto* window = static_cast<SDL_Window*>(window_);
    if (SDL_GL_MakeCurrent(window, context_) != 0) return 0;
    mtxGlForgetCurrentDevice();
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    if (width <= 0 || height <= 0) return 0;
    // Without a sub-buffer copy every compose is whole.
    bool whole = damagedAll_ || !copySubBuffer_ || width != shownWidth_ || height != shownHeight_;
    RECT region = whole ? RECT{0, 0, width, height} : Clip(damage_, width, height);
    damagedAll_ = false;
    damage_ = {};
    shownWidth_ = width, shownHeight_ = height;
    if (Empty(region)) return 1;  // nothing changed
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, width, height);
    if (whole) {
        glDisable(GL_SCISSOR_TEST);
    } else {
        glEnable(GL_SCISSOR_TEST);
        glScissor(region.left, height - region.bottom, region.right - region.left,
                  region.bottom - region.top);
    }
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glUseProgram(program_);
    glBindVertexArray(vao_);
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    glActiveTexture(GL_TEXTURE0);
    glBindSampler(0, sampler_);
    if (frameWidth_ < width || frameHeight_ < height) {
        glClearColor(0.85f, 0.85f, 0.85f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    // The frame shows only around the one layer that covers it (the editor):
    // filling those pixels twice costs a software rasteriser a whole frame.
    RECT hole = {};
    int visible = 0;
    for (auto& [key, l] : layers_)
        if (l.visible && l.texture) ++visible, hole = Shown(l, width, height, nullptr);
    if (visible != 1) hole = {};
    RECT frame = Clip({0, 0, frameWidth_, frameHeight_}, width, height);
    RECT around[4] = {{frame.left, frame.top, frame.right, hole.top},
                      {frame.left, hole.bottom, frame.right, frame.bottom},
                      {frame.left, hole.top, hole.left, hole.bottom},
                      {hole.right, hole.top, frame.right, hole.bottom}};
    if (hole.right <= hole.left || hole.bottom <= hole.top) {
        Quad(frameTexture_, frameWidth_, frameHeight_, frame, frame, width, height);
    } else {
        for (const RECT& r : around)
            if (r.right > r.left && r.bottom > r.top)
                Quad(frameTexture_, frameWidth_, frameHeight_, r, r, width, height);
    }
    for (auto& [key, l] : layers_) {
        if (!l.visible || !l.texture) continue;
        RECT src;
        RECT dest = Shown(l, width, height, &src);
        Quad(l.texture, l.width, l.height, src, dest, width, height);
    }
    for (const RECT& r : above_) {
        RECT c = Clip(r, std::min(width, frameWidth_), std::min(height, frameHeight_));
        Quad(frameTexture_, frameWidth_, frameHeight_, c, c, width, height);
    }
    Show(region, height, whole);
    lastSwap_ = NowMs();
    ++composed;
    return 1;
}

// Moves region of the back buffer to the window. A whole compose swaps: the
// swap also tells the driver to follow a new window size. A partial one copies
// only its region, which it has wholly redrawn, so whatever the back buffer
// holds elsewhere after earlier swaps never shows.
void mtxGlCompositor::Show(const RECT& region, int height, bool whole) {
    glDisable(GL_SCISSOR_TEST);
    if (whole || !copySubBuffer_) {
        SDL_GL_SwapWindow(static_cast<SDL_Window*>(window_));
        return;
    }
    copySubBuffer_(xDisplay_, xWindow_, region.left, height - region.bottom,
                   region.right - region.left, region.bottom - region.top);
    ++composedPartly;
}
