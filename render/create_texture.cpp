// mtxImage::CreateTexture lives with the device, so the image library needs
// no device code of its own.
#include <cstring>

#include "image/image.h"
#include "platform/device.h"

IDirect3DTexture9* mtxImage::CreateTexture(IDirect3DDevice9* device) {
    if (!device || width <= 0 || height <= 0) return nullptr;
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(device->CreateTexture(uint32_t(width), uint32_t(height), 1, 0, D3DFMT_A8R8G8B8,
                                     D3DPOOL_MANAGED, &texture, nullptr)))
        return nullptr;
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
        texture->Release();
        return nullptr;
    }
    // A device image is addressable only while locked; a locked one (or a
    // memory image) already has its data.
    bool lockHere = data == nullptr;
    if (lockHere && !Lock()) {
        texture->UnlockRect(0);
        texture->Release();
        return nullptr;
    }
    auto* out = static_cast<uint8_t*>(locked.pBits);
    for (int y = 0; y < height; ++y)
        std::memcpy(out + size_t(y) * size_t(locked.Pitch), Row(y), size_t(width) * 4);
    if (lockHere) Unlock();
    texture->UnlockRect(0);
    return texture;
}
