#pragma once
#include <cstdint>
#include <memory>

#include "base/wnd.h"
#include "platform/device.h"
#include "render/dx_context.h"

// The child window that owns the graphics device. Without a system window
// (nativeWindow null) the device is headless, which is how tests and batch
// work draw; the window messages still arrive when the object is created as
// a message target.
class mtxFlashBox : public mtxWnd {
  public:
    mtxFlashBox() = default;
    ~mtxFlashBox() override;  // the device goes last

    // Creates the child window (child, clip siblings, clip children) and the
    // device that draws into its area. 0 when either cannot be made; a window
    // system with a display but without OpenGL gets the device's start-up
    // message then. Without a display the device draws off screen.
    int Create(mtxWnd* parent, int x, int y, int width, int height);

    // Creates the device for nativeWindow (the window system's device surface
    // of a child window, or null for a headless device). Returns the ready flag: 1 with a device, 0
    // without (the failure has been shown to the user once).
    int CreateDevice(void* window);

    IDirect3DDevice9* GetDevice() const { return dx ? dx->device : nullptr; }

    // Painting is the derived window's frame; nothing to erase.
    LRESULT OnPaint(WPARAM, LPARAM) override;
    LRESULT OnEraseBkgnd(WPARAM, LPARAM) override { return 0x10001; }
    // The frame of the derived window.
    virtual void Paint() {}
    // The device goes with the window: the display window it draws into is
    // about to go. Derived windows release their device objects first.
    LRESULT OnDestroy(WPARAM, LPARAM) override;

    void* nativeWindow = nullptr;
    uint32_t ready = 0;  // 1 once the device exists
    std::unique_ptr<mtxDxContext> dx;
};
