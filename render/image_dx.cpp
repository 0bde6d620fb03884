#include "render/image_dx.h"

#include <cstring>

mtxImageDx::~mtxImageDx() {
    ReleaseSurface();
}

void mtxImageDx::ReleaseSurface() {
    Unlock();
    if (surface) surface->Release(), surface = nullptr;
}

int mtxImageDx::Lock() {
    if (locked_) return 1;
    if (!surface) return 0;
    D3DLOCKED_RECT locked;
    if (FAILED(surface->LockRect(&locked, nullptr, 0))) return 0;
    data = static_cast<mtxColor*>(locked.pBits);
    pitch = locked.Pitch;
    locked_ = 1;
    return 1;
}

void mtxImageDx::Unlock() {
    if (!locked_) return;
    surface->UnlockRect();
    data = nullptr;
    pitch = 0;
    locked_ = 0;
}

int mtxImageDx::Create(int newWidth, int newHeight, mtxColorValue) {
    if (surface && newWidth == width && newHeight == height) return 1;
    ReleaseSurface();
    ownsData = 0;  // the pixels belong to the surface
    if (!device || newWidth <= 0 || newHeight <= 0 ||
        FAILED(device->CreateOffscreenPlainSurface(uint32_t(newWidth), uint32_t(newHeight),
                                                   D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &surface,
                                                   nullptr))) {
        surface = nullptr;
        width = height = 0;
        return 0;
    }
    width = newWidth;
    height = newHeight;
    data = nullptr;
    pitch = 0;
    return 1;
}

void mtxImageDx::Free() {
    ReleaseSurface();
    mtxImage::Free();
    ownsData = 0;
}

int mtxImageDx::Assign(const Base& other) {
    if (&other == this) return 1;
    if (other.IsEmpty()) {
        Free();
        return 1;
    }
    if (!Create(other.width, other.height, 0) || !Lock()) return 0;
    for (int y = 0; y < height; ++y)
        std::memcpy(Row(y), other.Row(y), size_t(width) * sizeof(mtxColor));
    Unlock();
    const mtxImage* image = dynamic_cast<const mtxImage*>(&other);
    isYCbCr = image ? image->isYCbCr : 0;
    return 1;
}

std::unique_ptr<mtxImage> mtxImageDx::CreateSameKind(int w, int h) const {
    auto image = std::make_unique<mtxImageDx>(device);
    if (!image->Create(w, h, 0xFF000000u) || !image->Lock()) return nullptr;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image->At(x, y) = 0xFF000000u;
    image->Unlock();
    return image;
}

IDirect3DSurface9* mtxImageDx::GetSurface() {
    Unlock();
    return surface;
}
