#pragma once
#include <cstdint>
#include <map>
#include <memory>

#include "platform/device.h"
#include "render/flash_box.h"
#include "render/render_target_pool.h"
#include "render/shader.h"

// The editor window's device-owning part: render-target pools, shader caches
// by resource id, the projection, and the device loss and reset paths. The
// window and control hosting build on it; everything here also runs without
// a window (headless device).
class mtxImageEditorDevice : public mtxFlashBox {
  public:
    enum Pool { kPoolSmall = 0, kPoolColor = 1, kPoolNormal = 2 };  // 32 ARGB, 128 ARGB, 128 G16R16

    mtxImageEditorDevice();
    ~mtxImageEditorDevice() override;

    // The cached shader of that resource id, loaded on first request; null
    // when it cannot be loaded (nothing is cached then, so each request tries
    // again). The cache owns the shaders.
    mtxIEPixelShader* GetPixelShader(uint32_t id);
    mtxIEVertexShader* GetVertexShader(uint32_t id);

    // A render-target texture of the pool (null if none can be made), and
    // its return.
    IDirect3DTexture9* AcquireTexture(int pool);
    void ReleaseTexture(int pool, IDirect3DTexture9* texture);

    // The orthographic projection for a target of width x height pixels:
    // x' = 2x/W - 1, y' = 1 - 2y/H, z' = 1 - 0.01 z, w' = 1 (depth 100 maps
    // to 0), as a row-vector matrix.
    static D3DMATRIX Projection(int width, int height);
    // Stores the projection for (width, height) and sets it on the device.
    void SetProjection(int width, int height);
    // The fixed states every frame starts from.
    void SetFrameStates();

    // Frame start while the device is lost: 1 when the device can be drawn
    // with (it was not lost, or it has just been reset); 0 when it is still
    // lost, after sleeping 5 ms.
    int RecoverDevice();
    // Presents rect of the back buffer; on device loss runs OnDeviceLost and
    // sets lost. Returns Present's result.
    HRESULT PresentRect(const RECT* rect);

    // Device loss: unbinds stages 0 to 7, restores the back buffer as the
    // target, releases the shared texture, lets the window's parts release
    // theirs (ReleaseDeviceResources), empties the pools.
    virtual void OnDeviceLost();
    // After a reset: screen size read again, shared texture re-created,
    // RestoreDeviceResources.
    virtual void OnDeviceReset();

    D3DMATRIX projection = {};
    int screenWidth = 0, screenHeight = 0;
    uint32_t lost = 0;
    IDirect3DTexture9* sharedTexture = nullptr;  // 256 x 256 ARGB, default pool
    mtxRenderTargetPool pools[3];
    std::map<uint32_t, std::unique_ptr<mtxIEPixelShader>> pixelShaders;
    std::map<uint32_t, std::unique_ptr<mtxIEVertexShader>> vertexShaders;

  protected:
    // Hooks for the controls, canvas and viewers of the window.
    virtual void ReleaseDeviceResources() {}
    virtual void RestoreDeviceResources() {}
};
