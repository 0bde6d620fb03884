// The Direct3D 9 object of the OpenGL device, its "library" and the test
// switches.
#include <SDL2/SDL.h>
#include <dlfcn.h>

#include <cstring>

#include "platform/device.h"
#include "platform/gl/gl_device.h"

namespace {

// Without a window system the device draws for a display of this size.
constexpr uint32_t kHeadlessWidth = 1024, kHeadlessHeight = 768;

class GlDirect3D final : public IDirect3D9 {
  public:
    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override {
        uint32_t left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) override {
        if (adapter != 0 || !mode || mtxDxTestSwitches().failDisplayMode) return D3DERR_INVALIDCALL;
        int width = 0, height = 0;
        mtxDxScreenSize(&width, &height);
        *mode = {uint32_t(width), uint32_t(height), 60, D3DFMT_X8R8G8B8};
        return D3D_OK;
    }

    // What an OpenGL 3.3 core context always has: programmable stages well
    // beyond shader model 2.0 and mipmap generation.
    HRESULT GetDeviceCaps(uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
        const mtxDxTestSwitch& test = mtxDxTestSwitches();
        if (adapter != 0 || type != D3DDEVTYPE_HAL || !caps || test.failCaps)
            return D3DERR_INVALIDCALL;
        *caps = {};
        caps->DeviceType = D3DDEVTYPE_HAL;
        caps->Caps2 = test.noAutoMipmap ? 0 : D3DCAPS2_CANAUTOGENMIPMAP;
        caps->VertexProcessingCaps = 0x3B;
        caps->MaxTextureWidth = caps->MaxTextureHeight = 8192;
        int vs = test.vertexShaderMajor >= 0 ? test.vertexShaderMajor : 3;
        int ps = test.pixelShaderMajor >= 0 ? test.pixelShaderMajor : 3;
        caps->VertexShaderVersion = D3DVS_VERSION(uint32_t(vs), 0);
        caps->PixelShaderVersion = D3DPS_VERSION(uint32_t(ps), 0);
        caps->MaxVertexShaderConst = mtxGlDevice::kVsConstants;
        caps->NumSimultaneousRTs = 1;
        return D3D_OK;
    }

    uint32_t GetAdapterModeCount(uint32_t adapter, D3DFORMAT format) override {
        if (adapter != 0) return 0;
        if (!SDL_WasInit(SDL_INIT_VIDEO)) return format == D3DFMT_X8R8G8B8 ? 1 : 0;
        uint32_t count = 0;
        int modes = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < modes; ++i) {
            D3DDISPLAYMODE mode;
            if (ModeAt(i, &mode) && mode.Format == format) ++count;
        }
        return count;
    }

    HRESULT EnumAdapterModes(uint32_t adapter, D3DFORMAT format, uint32_t index,
                             D3DDISPLAYMODE* out) override {
        if (adapter != 0 || !out) return D3DERR_INVALIDCALL;
        if (!SDL_WasInit(SDL_INIT_VIDEO)) {
            if (format != D3DFMT_X8R8G8B8 || index != 0) return D3DERR_INVALIDCALL;
            *out = {kHeadlessWidth, kHeadlessHeight, 60, D3DFMT_X8R8G8B8};
            return D3D_OK;
        }
        int modes = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < modes; ++i) {
            D3DDISPLAYMODE mode;
            if (ModeAt(i, &mode) && mode.Format == format && index-- == 0) {
                *out = mode;
                return D3D_OK;
            }
        }
        return D3DERR_INVALIDCALL;
    }

    HRESULT CreateDevice(uint32_t adapter, D3DDEVTYPE type, void* focusWindow, uint32_t,
                         D3DPRESENT_PARAMETERS* present, IDirect3DDevice9** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        *device = nullptr;
        if (adapter != 0 || type != D3DDEVTYPE_HAL || !present) return D3DERR_INVALIDCALL;
        if (mtxDxTestSwitches().failCreateDevice) return D3DERR_NOTAVAILABLE;
        void* window = present->hDeviceWindow ? present->hDeviceWindow : focusWindow;
        mtxGlDevice* created = mtxGlDevice::Create(window, *present);
        if (!created) return D3DERR_NOTAVAILABLE;
        *device = created;
        return D3D_OK;
    }

  private:
    static bool ModeAt(int i, D3DDISPLAYMODE* out) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0) return false;
        int bits = SDL_BITSPERPIXEL(mode.format);
        D3DFORMAT format = bits == 16   ? D3DFMT_R5G6B5
                           : bits >= 24 ? D3DFMT_X8R8G8B8
                                        : D3DFMT_UNKNOWN;
        *out = {uint32_t(mode.w), uint32_t(mode.h), uint32_t(mode.refresh_rate), format};
        return true;
    }

    uint32_t refs_ = 1;
};

IDirect3D9* GlDirect3DCreate9(uint32_t sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION || mtxDxTestSwitches().failCreate9) return nullptr;
    return new GlDirect3D;
}

}  // namespace

struct mtxDxLibrary {
    void* handle;
};

// The GL libraries are what libepoxy loads on first use; opening them here
// first turns a missing one into a message instead of an abort inside epoxy.
mtxDxLibrary* mtxDxLoadLibrary(const char* name) {
    if (!name || mtxDxTestSwitches().failLibrary) return nullptr;
    void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    return new mtxDxLibrary{handle};
}

// The entry point exists when the library really is an EGL or GL library.
mtxDirect3DCreate9Proc mtxDxGetCreateProc(mtxDxLibrary* library, const char* name) {
    if (!library || !name || std::strcmp(name, "Direct3DCreate9") != 0 ||
        mtxDxTestSwitches().failEntryPoint)
        return nullptr;
    if (!dlsym(library->handle, "eglGetProcAddress") &&
        !dlsym(library->handle, "glXGetProcAddressARB"))
        return nullptr;
    return &GlDirect3DCreate9;
}

void mtxDxFreeLibrary(mtxDxLibrary* library) {
    if (!library) return;
    dlclose(library->handle);
    delete library;
}

void mtxDxScreenSize(int* width, int* height) {
    SDL_DisplayMode mode;
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        *width = mode.w;
        *height = mode.h;
        return;
    }
    const mtxDxTestSwitch& test = mtxDxTestSwitches();
    *width = test.headlessWidth > 0 ? test.headlessWidth : int(kHeadlessWidth);
    *height = test.headlessHeight > 0 ? test.headlessHeight : int(kHeadlessHeight);
}

mtxDxTestSwitch& mtxDxTestSwitches() {
    static mtxDxTestSwitch switches;
    return switches;
}
