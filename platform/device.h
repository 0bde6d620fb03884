#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/device_types.h"

// A Direct3D-9-shaped graphics device. The interfaces keep Direct3D 9's
// operations, parameters, results and pixel rules (pixel centres at integer
// coordinates, row 0 on top, A8R8G8B8 bytes B, G, R, A, D3D9's default
// states), so the drawing code is written as it would be against Direct3D.
// The implementation draws with OpenGL 3.3 core; see platform/gl/.
//
// Objects are reference counted: every Create/Get that hands out an
// interface adds a reference the caller gives back with Release.
//
// Shader "bytecode" is GLSL 330 source text, zero terminated. Pixel shaders
// read `in vec4 v_color, v_tex0, v_tex1`, write `out vec4 o_color`, take
// constants as `uniform vec4 c[N]` and samplers sN on texture stage N.
// Vertex shaders read `in vec4 a_position, a_color, a_tex0`, write
// gl_Position in Direct3D's clip space and the three varyings; the device
// adds the half-pixel shift and the row order itself.

class mtxDxUnknown {
  public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

  protected:
    virtual ~mtxDxUnknown() = default;
};

class IDirect3DSurface9 : public mtxDxUnknown {
  public:
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    // rect must be null (the whole surface); flags 0.
    virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, uint32_t flags) = 0;
    virtual HRESULT UnlockRect() = 0;
};

class IDirect3DTexture9 : public mtxDxUnknown {
  public:
    virtual HRESULT GetLevelDesc(uint32_t level, D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT GetSurfaceLevel(uint32_t level, IDirect3DSurface9** surface) = 0;
    // Managed textures only, level 0; rect must be null.
    virtual HRESULT LockRect(uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect,
                             uint32_t flags) = 0;
    virtual HRESULT UnlockRect(uint32_t level) = 0;
};

class IDirect3DPixelShader9 : public mtxDxUnknown {};
class IDirect3DVertexShader9 : public mtxDxUnknown {};

class IDirect3DDevice9 : public mtxDxUnknown {
  public:
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual uint32_t GetAvailableTextureMem() = 0;
    // How many samplers of an array a pixel program may choose among from
    // pixel to pixel within one draw: a software rasteriser samples pixel by
    // pixel and honours any choice; a GPU only one chosen for the whole draw.
    virtual uint32_t SamplersChosenPerPixel() = 0;
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* present) = 0;
    // Shows the source rectangle of the back buffer at the destination
    // rectangle of the window (null: whole). Without a window it only waits
    // until everything drawn so far is finished, as a swap would.
    virtual HRESULT Present(const RECT* source, const RECT* dest, void* destWindow,
                            const void* dirtyRegion) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    // count 0 and rects null: the whole viewport.
    virtual HRESULT Clear(uint32_t count, const RECT* rects, uint32_t flags, D3DCOLOR color,
                          float z, uint32_t stencil) = 0;

    virtual HRESULT CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                  D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                                  void* sharedHandle) = 0;
    virtual HRESULT CreateOffscreenPlainSurface(uint32_t width, uint32_t height, D3DFORMAT format,
                                                D3DPOOL pool, IDirect3DSurface9** surface,
                                                void* sharedHandle) = 0;
    // System-memory source to default-pool destination; null rect: whole
    // source; null point: (0, 0).
    virtual HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                                  IDirect3DSurface9* dest, const POINT* destPoint) = 0;
    virtual HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) = 0;
    // Copies pixels between render targets of the same format, exactly: only
    // rectangles of the same size (null: the whole surface) and
    // D3DTEXF_POINT; scissor and blending do not apply.
    virtual HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect,
                                IDirect3DSurface9* dest, const RECT* destRect,
                                D3DTEXTUREFILTERTYPE filter) = 0;
    // Render target to a system-memory surface of the same size and format.
    virtual HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget,
                                        IDirect3DSurface9* dest) = 0;
    virtual HRESULT GetRenderTarget(uint32_t index, IDirect3DSurface9** surface) = 0;
    // Also sets the viewport to the whole target, as Direct3D does.
    virtual HRESULT SetRenderTarget(uint32_t index, IDirect3DSurface9* surface) = 0;
    virtual HRESULT GetBackBuffer(uint32_t swapChain, uint32_t index, uint32_t type,
                                  IDirect3DSurface9** surface) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
    // The scissor rectangle in target pixels, used while
    // D3DRS_SCISSORTESTENABLE is set: draws and Clear then touch only the
    // pixels inside it. SetRenderTarget resets it to the whole target.
    virtual HRESULT SetScissorRect(const RECT* rect) = 0;
    virtual HRESULT GetScissorRect(RECT* rect) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT SetTexture(uint32_t stage, IDirect3DTexture9* texture) = 0;
    virtual HRESULT SetSamplerState(uint32_t sampler, D3DSAMPLERSTATETYPE type, uint32_t value) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, uint32_t* value) = 0;
    virtual HRESULT SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                         uint32_t value) = 0;
    virtual HRESULT SetFVF(uint32_t fvf) = 0;
    virtual HRESULT SetPixelShader(IDirect3DPixelShader9* shader) = 0;
    virtual HRESULT SetVertexShader(IDirect3DVertexShader9* shader) = 0;
    virtual HRESULT SetVertexShaderConstantF(uint32_t startRegister, const float* data,
                                             uint32_t vector4fCount) = 0;
    virtual HRESULT SetPixelShaderConstantF(uint32_t startRegister, const float* data,
                                            uint32_t vector4fCount) = 0;
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount,
                                    const void* vertices, uint32_t stride) = 0;
    virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t minVertexIndex,
                                           uint32_t numVertices, uint32_t primitiveCount,
                                           const void* indices, D3DFORMAT indexFormat,
                                           const void* vertices, uint32_t stride) = 0;
    // code: GLSL source, zero terminated (see above). D3DERR_INVALIDCALL when
    // it does not compile.
    virtual HRESULT CreatePixelShader(const char* code, IDirect3DPixelShader9** shader) = 0;
    virtual HRESULT CreateVertexShader(const char* code, IDirect3DVertexShader9** shader) = 0;
};

class IDirect3D9 : public mtxDxUnknown {
  public:
    virtual HRESULT GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT GetDeviceCaps(uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
    virtual uint32_t GetAdapterModeCount(uint32_t adapter, D3DFORMAT format) = 0;
    virtual HRESULT EnumAdapterModes(uint32_t adapter, D3DFORMAT format, uint32_t mode,
                                     D3DDISPLAYMODE* out) = 0;
    // focusWindow: the platform window to draw into (an SDL window created
    // with OpenGL support), or null for a headless device on EGL.
    virtual HRESULT CreateDevice(uint32_t adapter, D3DDEVTYPE type, void* focusWindow,
                                 uint32_t behaviourFlags, D3DPRESENT_PARAMETERS* present,
                                 IDirect3DDevice9** device) = 0;
};

// The library that provides the device, loaded at run time like a DLL: the
// OpenGL/EGL system libraries. Names are "libEGL.so.1" and "libGL.so.1".
// mtxDxLoadLibrary returns null when the library cannot be loaded;
// mtxDxGetCreateProc returns null when the entry point is missing.
struct mtxDxLibrary;
using mtxDirect3DCreate9Proc = IDirect3D9* (*)(uint32_t sdkVersion);
mtxDxLibrary* mtxDxLoadLibrary(const char* name);
mtxDirect3DCreate9Proc mtxDxGetCreateProc(mtxDxLibrary* library, const char* name);
void mtxDxFreeLibrary(mtxDxLibrary* library);

// The screen size (GetSystemMetrics SM_CXSCREEN, SM_CYSCREEN): the desktop
// when a window system runs, else the size of the headless display.
void mtxDxScreenSize(int* width, int* height);

// Switches for tests: they make the failure and loss paths reachable on a
// machine where everything works. All off by default.
struct mtxDxTestSwitch {
    int failLibrary = 0;         // mtxDxLoadLibrary fails for every name
    int failEntryPoint = 0;      // mtxDxGetCreateProc returns null
    int failCreate9 = 0;         // Direct3DCreate9 returns null
    int failDisplayMode = 0;     // GetAdapterDisplayMode fails
    int failCaps = 0;            // GetDeviceCaps fails
    int failCreateDevice = 0;    // CreateDevice fails
    int vertexShaderMajor = -1;  // 0 or more: replaces the reported major version
    int pixelShaderMajor = -1;
    int noAutoMipmap = 0;       // clears D3DCAPS2_CANAUTOGENMIPMAP
    int samplersAsOnGpu = 0;    // SamplersChosenPerPixel says 1, as a GPU's device
    int loseAtNextPresent = 0;  // the next Present loses the device
    int lostPolls = 0;          // TestCooperativeLevel calls answering DEVICELOST before NOTRESET
    int failTextures = 0;       // CreateTexture/CreateOffscreenPlainSurface fail
    int headlessWidth = 0;      // nonzero: the headless display's size instead of 1024 x 768
    int headlessHeight = 0;
};
mtxDxTestSwitch& mtxDxTestSwitches();
