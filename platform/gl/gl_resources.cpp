// Surfaces, textures and shaders of the OpenGL device.
#include <epoxy/gl.h>

#include <cstring>
#include <type_traits>

#include "platform/gl/gl_device.h"

// --- surfaces ---------------------------------------------------------------

mtxGlSurface::mtxGlSurface(uint32_t width, uint32_t height, D3DFORMAT format)
    : width(width),
      height(height),
      format(format),
      pitch(int32_t(width * 4)),
      bits(size_t(width) * height * 4, 0) {}

mtxGlSurface::mtxGlSurface(mtxGlTexture* container) : container(container) {}

uint32_t mtxGlSurface::AddRef() {
    return container ? container->AddRef() : ++refs_;
}

uint32_t mtxGlSurface::Release() {
    if (container) return container->Release();
    uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT mtxGlSurface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    if (container) return container->GetLevelDesc(0, desc);
    *desc = {format, 0, D3DPOOL_SYSTEMMEM, width, height};
    return D3D_OK;
}

HRESULT mtxGlSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, uint32_t) {
    if (container) return container->LockRect(0, locked, rect, 0);
    if (!locked || rect || this->locked) return D3DERR_INVALIDCALL;
    this->locked = 1;
    locked->pBits = bits.data();
    locked->Pitch = pitch;
    return D3D_OK;
}

HRESULT mtxGlSurface::UnlockRect() {
    if (container) return container->UnlockRect(0);
    if (!locked) return D3DERR_INVALIDCALL;
    locked = 0;
    return D3D_OK;
}

// --- textures ---------------------------------------------------------------

mtxGlTexture::mtxGlTexture(mtxGlDevice* device, uint32_t width, uint32_t height, uint32_t levels,
                           uint32_t usage, D3DFORMAT format, D3DPOOL pool)
    : device(device),
      width(width),
      height(height),
      levels(levels),
      usage(usage),
      format(format),
      pool(pool),
      level0(this) {
    level0.width = width;
    level0.height = height;
    level0.format = format;
    level0.pitch = int32_t(width * 4);
    if (pool == D3DPOOL_MANAGED) shadow.assign(Bytes(), 0);
}

mtxGlTexture::~mtxGlTexture() {
    if (device) device->TextureDestroyed(this);
}

void mtxGlTexture::Orphan() {
    device = nullptr;
    name = fbo = 0;
}

uint32_t mtxGlTexture::Release() {
    uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT mtxGlTexture::GetLevelDesc(uint32_t level, D3DSURFACE_DESC* desc) {
    if (level != 0 || !desc) return D3DERR_INVALIDCALL;
    *desc = {format, usage, pool, width, height};
    return D3D_OK;
}

HRESULT mtxGlTexture::GetSurfaceLevel(uint32_t level, IDirect3DSurface9** surface) {
    if (level != 0 || !surface) return D3DERR_INVALIDCALL;
    AddRef();
    *surface = &level0;
    return D3D_OK;
}

// Only managed textures can be locked: their level 0 has a copy in memory,
// sent to GL on unlock. Default-pool textures live on the device alone.
HRESULT mtxGlTexture::LockRect(uint32_t level, D3DLOCKED_RECT* out, const RECT* rect, uint32_t) {
    if (level != 0 || !out || rect || locked || pool != D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    locked = 1;
    out->pBits = shadow.data();
    out->Pitch = int32_t(width * 4);
    return D3D_OK;
}

HRESULT mtxGlTexture::UnlockRect(uint32_t level) {
    if (level != 0 || !locked) return D3DERR_INVALIDCALL;
    locked = 0;
    if (device)
        device->UploadLevel0(this, shadow.data(), int32_t(width * 4), 0, 0, int(width),
                             int(height));
    return D3D_OK;
}

// --- shaders ----------------------------------------------------------------

template <class Interface>
mtxGlShader<Interface>::~mtxGlShader() {
    if (device)
        device->ShaderDestroyed(serial, name, std::is_same_v<Interface, IDirect3DPixelShader9>);
}

template class mtxGlShader<IDirect3DPixelShader9>;
template class mtxGlShader<IDirect3DVertexShader9>;
