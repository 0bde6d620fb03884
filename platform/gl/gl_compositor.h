// The compositor of a top-level window with OpenGL: it draws the window
// system's own frame (everything painted in software, the menu bar, popup
// menus), then each device's back buffer over its child window's area, then
// the frame's popups again on top, and shows the result. Devices and the window
// system both ask it to compose; the frame is uploaded only when it changed, so
// an expose or a menu redraws without the editor drawing again.
//
// Where the window system can copy part of the back buffer to the window
// (GLX_MESA_copy_sub_buffer), a device's present re-composes and copies only
// its dirty rectangle, leaving the rest of the window as it is. Anything else
// (a new frame, a layer moved, shown, hidden or given another texture, a new
// window size) re-composes the whole window and swaps. Internal to platform/.
#pragma once
#include <cstdint>
#include <map>
#include <vector>

#include "platform/bitmap.h"
#include "platform/geometry.h"

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
    // width x height, row 0 on top; dirty: its pixels that changed (null: all).
    void SetLayerSource(uintptr_t layer, unsigned texture, int width, int height,
                        const RECT* dirty = nullptr);
    void RemoveLayer(uintptr_t layer);
    // Draws and swaps, at most once per kMinInterval ms: a compose asked for
    // sooner is left pending for Flush. Leaves this compositor's context
    // current; 1 on success or when pending.
    int Compose();
    // Composes what is pending once it is due; returns the ms until a pending
    // compose is due, or kNothingPending.
    uint32_t Flush();
    static constexpr uint32_t kMinInterval = 16;  // about 60 presents a second
    static constexpr uint32_t kNothingPending = 0xFFFFFFFF;

    uint64_t composed = 0;
    uint64_t composedPartly = 0;  // of those, the ones that copied only a dirty part

  private:
    struct Layer {
        unsigned texture = 0;
        int width = 0, height = 0;
        RECT dest;
        bool visible = false;
    };
    mtxGlCompositor() = default;
    int Init();
    int Draw();
    static RECT Shown(const Layer& l, int width, int height, RECT* source);
    void Quad(unsigned texture, int texW, int texH, const RECT& src, const RECT& dest, int winW,
              int winH);

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
    std::vector<RECT> above_;
    std::map<uintptr_t, Layer> layers_;
    uint64_t lastSwap_ = 0;  // ms of the steady clock
    bool pending_ = false;
};

// Tells the device cache that another context is now current (gl_device.cpp).
void mtxGlForgetCurrentDevice();
