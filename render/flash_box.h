#pragma once
#include <cstdint>
#include <memory>

#include "platform/device.h"
#include "render/dx_context.h"

// The part of the editor window that owns the graphics device. The window
// classes add the system window around it; without one (nativeWindow null)
// the device is headless, which is how tests and batch work draw.
class mtxFlashBox {
  public:
    mtxFlashBox() = default;
    virtual ~mtxFlashBox();  // the device goes last
    mtxFlashBox(const mtxFlashBox&) = delete;
    mtxFlashBox& operator=(const mtxFlashBox&) = delete;

    // Creates the device for nativeWindow (an SDL window made with OpenGL
    // support, or null). Returns the ready flag: 1 with a device, 0 without
    // (the failure has been shown to the user once).
    int CreateDevice(void* window);

    IDirect3DDevice9* GetDevice() const { return dx ? dx->device : nullptr; }

    void* nativeWindow = nullptr;
    uint32_t ready = 0;  // 1 once the device exists
    std::unique_ptr<mtxDxContext> dx;
};
