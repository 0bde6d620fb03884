#include "render/create_texture.h"

#include <cstring>

#include "image/image.h"
#include "platform/device.h"

IDirect3DTexture9* mtxCreateTexture(IDirect3DDevice9* device, mtxImage& image) {
    if (!device || image.width <= 0 || image.height <= 0) return nullptr;
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(device->CreateTexture(uint32_t(image.width), uint32_t(image.height), 1, 0,
                                     D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)))
        return nullptr;
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
        texture->Release();
        return nullptr;
    }
    // A device image is addressable only while locked; a locked one (or a
    // memory image) already has its data.
    bool lockHere = image.data == nullptr;
    if (lockHere && !image.Lock()) {
        texture->UnlockRect(0);
        texture->Release();
        return nullptr;
    }
    auto* out = static_cast<uint8_t*>(locked.pBits);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(out + size_t(y) * size_t(locked.Pitch), image.Row(y), size_t(image.width) * 4);
    if (lockHere) image.Unlock();
    texture->UnlockRect(0);
    return texture;
}
