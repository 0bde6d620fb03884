// The compositor of a top-level window with OpenGL: it draws the window
// system's own frame (everything painted in software, the menu bar, popup
// menus), then each device's back buffer over its child window's area, then
// the frame's popups again on top, and shows the result. Devices and the window
// system both ask it to compose; the frame is uploaded only when it changed, so
// an expose or a menu redraws without the editor drawing again.
//
// A device's present re-composes only its dirty rectangle, leaving the rest
// of the window as it is. Anything else (a new frame, a layer moved, shown,
// hidden or given another texture, a new window size) re-composes the whole
// window.
//
// How it composes depends on the renderer:
// - A software rasteriser (Mesa's llvmpipe) pays for every pixel of a
//   textured quad in shading; there the compositor composes on the CPU: it
//   copies the frame's pixels and reads the layers' pixels back into a picture
//   shared with the X server, which copies the rectangle into the window.
//   A whole 1280 x 800 window costs two memory copies instead of a pass of
//   the rasteriser.
// - Otherwise it draws quads into the window's back buffer and shows them:
//   where the window system can copy part of the back buffer to the window
//   (GLX_MESA_copy_sub_buffer) only the dirty rectangle, else the whole
//   window with a swap.
// DAUBRY_GL_COMPOSE=1 in the environment asks for the second way whatever the
// renderer. DAUBRY_FRAME_LOG=<file> has every compose that showed something
// noted in the file, one line each: the steady clock's microseconds, for the
// benchmarks that time the window's frames. Internal to platform/.
#pragma once
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "platform/bitmap.h"
#include "platform/geometry.h"

class mtxX11ShmImage;

// What a device needs to draw into a child window's area.
struct mtxGlDeviceSurface {
    void* display = nullptr;  // the top-level window's SDL window, made with OpenGL
    uintptr_t layer = 0;      // the child window's handle, naming its layer
};

class mtxGlCompositor {
  public:
    // The compositor of an SDL window, made on first use when create is set;
    // null when the window has no OpenGL or no context can be made.
    static mtxGlCompositor* Of(void* display, bool create);
    // Before the SDL window goes.
    static void Destroy(void* display);
    ~mtxGlCompositor();

    void* Context() const { return context_; }
    // The window system's frame, top row first; above: its areas that lie over
    // the devices' layers (open popup menus), in window pixels.
    void SetFrame(const mtxOs::Bitmap& frame, const std::vector<RECT>& above);
    void SetLayerPlace(uintptr_t layer, const RECT& dest, bool visible);
    // texture: a GL texture of the device's context (shared with this one),
    // width x height, row 0 on top; dirty: its pixels that changed (null: all);
    // drawn: a GL sync object of the device's context that signals when its
    // drawing is done (null: done already), which the compositor deletes.
    // Called with the device's context current.
    void SetLayerSource(uintptr_t layer, unsigned texture, int width, int height,
                        const RECT* dirty = nullptr, void* drawn = nullptr);
    void RemoveLayer(uintptr_t layer);
    // Composes and shows, at most once per kMinInterval ms: a compose asked for
    // sooner is left pending for Flush. Leaves this compositor's context
    // current; 1 on success or when pending.
    int Compose();
    // Composes what is pending once it is due; returns the ms until a pending
    // compose is due, or kNothingPending.
    uint32_t Flush();
    static constexpr uint32_t kMinInterval = 16;  // about 60 presents a second
    static constexpr uint32_t kNothingPending = 0xFFFFFFFF;

    uint64_t composed = 0;
    uint64_t composedPartly = 0;  // of those, the ones of a dirty part only

  private:
    struct Layer {
        unsigned texture = 0;
        int width = 0, height = 0;
        RECT dest;
        bool visible = false;
        void* drawn = nullptr;  // GLsync
    };
    mtxGlCompositor() = default;
    int Init();
    int Draw();
    static RECT Shown(const Layer& l, int width, int height, RECT* source);
    // Waits until the devices have drawn what the layers show: on the CPU,
    // which reads their pixels, or in GL's command stream.
    void AwaitLayers();
    static void Forget(Layer& l);

    std::vector<RECT> FrameAroundLayers(int width, int height) const;
    void ComposeOnGl(const RECT& region, bool whole, int width, int height);
    void UploadFrame(const mtxOs::Bitmap& frame);
    void Quad(unsigned texture, int texW, int texH, const RECT& src, const RECT& dest, int winW,
              int winH);
    // 0 when the shared picture cannot be had at this size: the compose then
    // falls back to GL for good.
    int ComposeOnCpu(const RECT& region, int width, int height);
    void CopyFrame(const RECT& r);
    void ReadLayer(const Layer& l, const RECT& region, int width, int height);

    // Marks window pixels for the next compose.
    void Damage(const RECT& r);
    void DamageAll() { damagedAll_ = true; }
    void Show(const RECT& region, int height, bool whole);

    void* window_ = nullptr;
    // glXCopySubBufferMESA and its display and window, when available.
    void (*copySubBuffer_)(void*, unsigned long, int, int, int, int) = nullptr;
    void* xDisplay_ = nullptr;
    unsigned long xWindow_ = 0;
    RECT damage_ = {};
    bool damagedAll_ = true;
    int shownWidth_ = 0, shownHeight_ = 0;
    void* context_ = nullptr;
    unsigned program_ = 0, vao_ = 0, vbo_ = 0, frameTexture_ = 0;
    // Nearest texels whatever filter the device left on its textures: the
    // copies are one to one, and a software rasteriser filters at a cost.
    unsigned sampler_ = 0;
    int frameWidth_ = 0, frameHeight_ = 0;
    mtxOs::Bitmap frame_;  // only while composing on the CPU
    bool onCpu_ = false;
    std::unique_ptr<mtxX11ShmImage> image_;
    unsigned readFramebuffer_ = 0;
    std::vector<RECT> above_;
    std::map<uintptr_t, Layer> layers_;
    uint64_t lastSwap_ = 0;  // ms of the steady clock
    bool pending_ = false;
    std::FILE* frameLog_ = nullptr;  // DAUBRY_FRAME_LOG's file, when asked for
};

// Tells the device cache that another context is now current (gl_device.cpp).
void mtxGlForgetCurrentDevice();
