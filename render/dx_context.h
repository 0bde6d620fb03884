#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/device.h"

class mtxFlashBox;

// The graphics device of one editor window: the library, the Direct3D
// object, the device, its capabilities and presentation parameters, and the
// display modes. Created with the window, destroyed with it.
class mtxDxContext {
  public:
    // How start-up failures reach the user; tests replace it to read them.
    using MessageBoxFn = int (*)(const std::string& text, const std::string& caption,
                                 unsigned flags);
    static MessageBoxFn messageBox;

    mtxDxContext() = default;
    ~mtxDxContext();
    mtxDxContext(const mtxDxContext&) = delete;
    mtxDxContext& operator=(const mtxDxContext&) = delete;

    // Stores the window, loads the library and creates the device. 1 on
    // success; 0 after showing at most one message, and the caller then
    // destroys the context.
    int Init(mtxFlashBox* owner);
    // 1 when the library is loaded and the Direct3D object exists.
    int LoadLibrary();
    // 1 when the device exists and has every needed capability.
    int CreateDevice();
    // After a device loss: presentation parameters for the current display
    // mode, then Reset. 1 when Reset succeeds.
    int Reset();

    // The text listing missing capabilities, or empty when none is missing.
    static std::string MissingCapabilities(const D3DCAPS9& caps);

    mtxDxLibrary* library = nullptr;
    mtxFlashBox* window = nullptr;
    uint32_t fullScreen = 0;  // nothing sets it: the device is always windowed
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    D3DCAPS9 caps = {};
    D3DPRESENT_PARAMETERS present = {};
    int32_t modeCount16 = 0, modeCount32 = 0;
    std::unique_ptr<D3DDISPLAYMODE[]> modes16, modes32;
    uint32_t textureMemory = 0;

  private:
    void ReleaseAll();
    int EnumerateModes(D3DFORMAT format, int32_t* count, std::unique_ptr<D3DDISPLAYMODE[]>* modes);
    void FillPresentParameters(const D3DDISPLAYMODE& mode);
};
