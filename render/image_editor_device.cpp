#include "render/image_editor_device.h"

#include <chrono>
#include <thread>

mtxImageEditorDevice::mtxImageEditorDevice()
    : pools{{this, D3DFMT_A8R8G8B8, 32}, {this, D3DFMT_A8R8G8B8, 128}, {this, D3DFMT_G16R16, 128}} {
    for (int i = 0; i < 4; ++i) projection.m[i][i] = 1.0f;
}

// Everything made on the device goes before the device itself (the base).
mtxImageEditorDevice::~mtxImageEditorDevice() {
    if (sharedTexture) sharedTexture->Release(), sharedTexture = nullptr;
    for (mtxRenderTargetPool& pool : pools) pool.Empty();
    pixelShaders.clear();
    vertexShaders.clear();
}

template <class Shader>
static Shader* CachedShader(std::map<uint32_t, std::unique_ptr<Shader>>& cache, mtxFlashBox* owner,
                            uint32_t id) {
    auto it = cache.find(id);
    if (it != cache.end()) return it->second.get();
    auto shader = std::make_unique<Shader>();
    if (!shader->Load(owner, id)) return nullptr;
    return (cache[id] = std::move(shader)).get();
}

mtxIEPixelShader* mtxImageEditorDevice::GetPixelShader(uint32_t id) {
    return CachedShader(pixelShaders, this, id);
}

mtxIEVertexShader* mtxImageEditorDevice::GetVertexShader(uint32_t id) {
    return CachedShader(vertexShaders, this, id);
}

IDirect3DTexture9* mtxImageEditorDevice::AcquireTexture(int pool) {
    if (pool < 0 || pool > 2) return nullptr;
    return pools[pool].Acquire();
}

void mtxImageEditorDevice::ReleaseTexture(int pool, IDirect3DTexture9* texture) {
    if (pool >= 0 && pool <= 2) pools[pool].Release(texture);
}

D3DMATRIX mtxImageEditorDevice::Projection(int width, int height) {
    D3DMATRIX m = {};
    m.m[0][0] = 2.0f / float(width);
    m.m[1][1] = -2.0f / float(height);
    m.m[2][2] = -0.01f;
    m.m[3][0] = -1.0f;
    m.m[3][1] = 1.0f;
    m.m[3][2] = 1.0f;
    m.m[3][3] = 1.0f;
    return m;
}

void mtxImageEditorDevice::SetProjection(int width, int height) {
    projection = Projection(width, height);
    if (IDirect3DDevice9* device = GetDevice()) device->SetTransform(D3DTS_PROJECTION, &projection);
}

void mtxImageEditorDevice::SetFrameStates() {
    IDirect3DDevice9* device = GetDevice();
    if (!device) return;
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_SPECULARENABLE, 1);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_COLORVERTEX, 1);
    device->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
}

int mtxImageEditorDevice::RecoverDevice() {
    IDirect3DDevice9* device = GetDevice();
    if (!device) return 0;
    if (!lost) return 1;
    if (device->TestCooperativeLevel() != D3DERR_DEVICENOTRESET || !dx->Reset()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return 0;
    }
    OnDeviceReset();
    lost = 0;
    return 1;
}

HRESULT mtxImageEditorDevice::PresentRect(const RECT* rect) {
    IDirect3DDevice9* device = GetDevice();
    if (!device) return D3DERR_INVALIDCALL;
    HRESULT result = device->Present(rect, rect, nullptr, nullptr);
    if (result == D3DERR_DEVICELOST && !lost) {
        OnDeviceLost();
        lost = 1;
    }
    return result;
}

void mtxImageEditorDevice::OnDeviceLost() {
    IDirect3DDevice9* device = GetDevice();
    if (!device) return;
    for (uint32_t stage = 0; stage < 8; ++stage) device->SetTexture(stage, nullptr);
    IDirect3DSurface9* backBuffer = nullptr;
    if (SUCCEEDED(device->GetBackBuffer(0, 0, 0, &backBuffer))) {
        device->SetRenderTarget(0, backBuffer);
        backBuffer->Release();
    }
    if (sharedTexture) sharedTexture->Release(), sharedTexture = nullptr;
    ReleaseDeviceResources();
    for (mtxRenderTargetPool& pool : pools) pool.Empty();
}

void mtxImageEditorDevice::OnDeviceReset() {
    IDirect3DDevice9* device = GetDevice();
    if (!device) return;
    mtxDxScreenSize(&screenWidth, &screenHeight);
    if (FAILED(device->CreateTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                     &sharedTexture, nullptr)))
        sharedTexture = nullptr;
    RestoreDeviceResources();
}
