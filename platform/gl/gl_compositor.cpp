#include "platform/gl/gl_compositor.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/gl/driver_modules.h"
#include "platform/gl/gl_context.h"
#include "platform/x11/shm_image.h"

namespace {

constexpr const char* kDataKey = "daubry.compositor";

// Where the window is larger than the frame. 217 / 255 so that GL's clear and
// the CPU's fill give the same word.
constexpr uint32_t kUncovered = 0xFFD9D9D9;
constexpr float kUncoveredLevel = 217.0f / 255.0f;

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
CopySubBuffer FindCopySubBuffer(Display* x) {
    using CurrentContext = void* (*)();
    using QueryExtensions = const char* (*)(void*, int);
    auto current = reinterpret_cast<CurrentContext>(SDL_GL_GetProcAddress("glXGetCurrentContext"));
    auto query =
        reinterpret_cast<QueryExtensions>(SDL_GL_GetProcAddress("glXQueryExtensionsString"));
    if (!current || !current() || !query) return nullptr;
    const char* extensions = query(x, XDefaultScreen(x));
    if (!extensions || !std::strstr(extensions, "GLX_MESA_copy_sub_buffer")) return nullptr;
    return reinterpret_cast<CopySubBuffer>(SDL_GL_GetProcAddress("glXCopySubBufferMESA"));
}

bool X11Window(SDL_Window* window, void** display, unsigned long* drawable) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    *display = info.info.x11.display;
    *drawable = info.info.x11.window;
    return true;
}

uint64_t NowMicroseconds() {
    return uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

std::FILE* OpenFrameLog() {
    const char* path = std::getenv("DAUBRY_FRAME_LOG");
    return path && *path ? std::fopen(path, "w") : nullptr;
}

bool GlComposeAsked() {
    const char* asked = std::getenv("DAUBRY_GL_COMPOSE");
    return asked && *asked && std::string_view(asked) != "0";
}

}  // namespace

bool mtxGlRendersInSoftware() {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (!renderer) return false;
    std::string_view name(renderer);
    return name.find("llvmpipe") != name.npos || name.find("softpipe") != name.npos ||
           name.find("swrast") != name.npos;
}

int mtxGlslNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    int number = 0, digits = 0;
    for (char c : text) {
        if (c == '.' && digits == 1) continue;
        if (c < '0' || c > '9' || digits == 3) break;
        number = number * 10 + (c - '0'), ++digits;
    }
    return digits == 3 ? number : 0;
}

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
    glGenFramebuffers(1, &readFramebuffer_);
    if (X11Window(static_cast<SDL_Window*>(window_), &xDisplay_, &xWindow_)) {
        copySubBuffer_ = FindCopySubBuffer(static_cast<Display*>(xDisplay_));
        onCpu_ = mtxGlRendersInSoftware() && !GlComposeAsked();
    }
    frameLog_ = OpenFrameLog();
    return 1;
}

mtxGlCompositor::~mtxGlCompositor() {
    if (frameLog_) std::fclose(frameLog_);
    if (!context_) return;
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), context_);
    mtxGlForgetCurrentDevice();
    for (auto& [key, l] : layers_) Forget(l);
    image_.reset();
    if (readFramebuffer_) glDeleteFramebuffers(1, &readFramebuffer_);
    if (frameTexture_) glDeleteTextures(1, &frameTexture_);
    if (sampler_) glDeleteSamplers(1, &sampler_);
    if (vbo_) glDeleteBuffers(1, &vbo_);
    if (vao_) glDeleteVertexArrays(1, &vao_);
    if (program_) glDeleteProgram(program_);
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), nullptr);
    SDL_GL_DeleteContext(context_);
}

void mtxGlCompositor::SetFrame(const mtxOs::Bitmap& frame, const std::vector<RECT>& above) {
    frameWidth_ = frame.width, frameHeight_ = frame.height;
    above_ = above;
    // Composing on the CPU copies from the frame's pixels; GL from its texture.
    if (onCpu_)
        frame_ = frame;
    else
        UploadFrame(frame);
    DamageAll();
}

void mtxGlCompositor::UploadFrame(const mtxOs::Bitmap& frame) {
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), context_);
    mtxGlForgetCurrentDevice();
    glBindTexture(GL_TEXTURE_2D, frameTexture_);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, frame.width, frame.height, 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, frame.pixels.data());
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
                                     const RECT* dirty, void* drawn) {
    Layer& l = layers_[layer];
    // The newer drawing follows the older in the device's command stream, so
    // waiting for it covers both. The device's context, current here, shares
    // sync objects with this one.
    Forget(l);
    l.drawn = drawn;
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
    auto found = layers_.find(layer);
    if (found == layers_.end()) return;
    if (found->second.drawn) {
        SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), context_);
        mtxGlForgetCurrentDevice();
        Forget(found->second);
    }
    layers_.erase(found);
    DamageAll();
}

// With a context of this compositor's share group current.
void mtxGlCompositor::Forget(Layer& l) {
    if (l.drawn) glDeleteSync(static_cast<GLsync>(l.drawn));
    l.drawn = nullptr;
}

void mtxGlCompositor::AwaitLayers() {
    constexpr GLuint64 kPatience = 2'000'000'000;  // ns; a frame that takes longer shows as it is
    for (auto& [key, l] : layers_) {
        if (!l.drawn) continue;
        auto drawn = static_cast<GLsync>(l.drawn);
        if (onCpu_)
            glClientWaitSync(drawn, GL_SYNC_FLUSH_COMMANDS_BIT, kPatience);
        else
            glWaitSync(drawn, 0, GL_TIMEOUT_IGNORED);
        Forget(l);
    }
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
    // On GL without a sub-buffer copy every compose is whole.
    bool whole = damagedAll_ || (!onCpu_ && !copySubBuffer_) || width != shownWidth_ ||
                 height != shownHeight_;
    RECT region = whole ? RECT{0, 0, width, height} : Clip(damage_, width, height);
    damagedAll_ = false;
    damage_ = {};
    shownWidth_ = width, shownHeight_ = height;
    if (Empty(region)) return 1;  // nothing changed
    AwaitLayers();
    if (onCpu_ && !ComposeOnCpu(region, width, height)) {
        onCpu_ = false;
        UploadFrame(frame_);
        frame_ = {};
        region = {0, 0, width, height}, whole = true;
    }
    if (!onCpu_) ComposeOnGl(region, whole, width, height);
    lastSwap_ = NowMs();
    ++composed;
    if (frameLog_) {
        // Flushed at once: the program may be ended by a signal.
        std::fprintf(frameLog_, "%llu\n", static_cast<unsigned long long>(NowMicroseconds()));
        std::fflush(frameLog_);
    }
    if (!whole) ++composedPartly;
    return 1;
}

void mtxGlCompositor::ComposeOnGl(const RECT& region, bool whole, int width, int height) {
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
        glClearColor(kUncoveredLevel, kUncoveredLevel, kUncoveredLevel, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    for (const RECT& r : FrameAroundLayers(width, height))
        Quad(frameTexture_, frameWidth_, frameHeight_, r, r, width, height);
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
}

// The parts of the frame that show: only those around the one layer that
// covers it (the editor), since writing those pixels twice costs a software
// rasteriser a whole frame; all of it when there is no layer or several.
std::vector<RECT> mtxGlCompositor::FrameAroundLayers(int width, int height) const {
    RECT hole = {};
    int visible = 0;
    for (auto& [key, l] : layers_)
        if (l.visible && l.texture) ++visible, hole = Shown(l, width, height, nullptr);
    RECT frame = Clip({0, 0, frameWidth_, frameHeight_}, width, height);
    if (visible != 1 || Empty(hole)) return {frame};
    std::vector<RECT> around;
    for (const RECT& r : {RECT{frame.left, frame.top, frame.right, hole.top},
                          RECT{frame.left, hole.bottom, frame.right, frame.bottom},
                          RECT{frame.left, hole.top, hole.left, hole.bottom},
                          RECT{hole.right, hole.top, frame.right, hole.bottom}})
        if (!Empty(r)) around.push_back(r);
    return around;
}

// Writes region of the window into the shared picture, as ComposeOnGl draws
// it: the uncovered ground, the frame, the layers, the frame's popups.
int mtxGlCompositor::ComposeOnCpu(const RECT& region, int width, int height) {
    if (!image_ || image_->Width() < width || image_->Height() < height) {
        image_.reset();
        image_ = mtxX11ShmImage::Create(xDisplay_, xWindow_, width, height);
        if (!image_) return 0;
    }
    for (int y = region.top; y < region.bottom; ++y) {
        int covered = y < frameHeight_
                          ? std::clamp(frameWidth_, int(region.left), int(region.right))
                          : int(region.left);
        std::fill(image_->Row(y) + covered, image_->Row(y) + region.right, kUncovered);
    }
    for (const RECT& r : FrameAroundLayers(width, height))
        CopyFrame({std::max(r.left, region.left), std::max(r.top, region.top),
                   std::min(r.right, region.right), std::min(r.bottom, region.bottom)});
    for (auto& [key, l] : layers_)
        if (l.visible && l.texture) ReadLayer(l, region, width, height);
    for (const RECT& r : above_) {
        RECT c = Clip(r, std::min(width, frameWidth_), std::min(height, frameHeight_));
        CopyFrame({std::max(c.left, region.left), std::max(c.top, region.top),
                   std::min(c.right, region.right), std::min(c.bottom, region.bottom)});
    }
    image_->Put(region);
    return 1;
}

void mtxGlCompositor::CopyFrame(const RECT& r) {
    RECT c = Clip(r, frameWidth_, frameHeight_);
    if (Empty(c)) return;
    for (int y = c.top; y < c.bottom; ++y)
        std::copy(frame_.Row(y) + c.left, frame_.Row(y) + c.right, image_->Row(y) + c.left);
}

// The layer's pixels within region, read straight into their place in the
// picture: texture rows run downwards like the window's.
void mtxGlCompositor::ReadLayer(const Layer& l, const RECT& region, int width, int height) {
    RECT source;
    RECT dest = Shown(l, width, height, &source);
    RECT r = {std::max(dest.left, region.left), std::max(dest.top, region.top),
              std::min(dest.right, region.right), std::min(dest.bottom, region.bottom)};
    if (Empty(r)) return;
    int x = source.left + (r.left - dest.left), y = source.top + (r.top - dest.top);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer_);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, l.texture, 0);
    glPixelStorei(GL_PACK_ROW_LENGTH, GLint(image_->Stride()));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x, y, r.right - r.left, r.bottom - r.top, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 image_->Row(r.top) + r.left);
    // Detached, so that a texture the device deletes is not kept alive here.
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
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
}
