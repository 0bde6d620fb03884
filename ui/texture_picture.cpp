#include "ui/texture_picture.h"

#include <cstring>
#include <utility>

#include "ui/primitives.h"

mtxIETexturePicture::mtxIETexturePicture(mtxIETexturePicture&& other) noexcept {
    *this = std::move(other);
}

mtxIETexturePicture& mtxIETexturePicture::operator=(mtxIETexturePicture&& other) noexcept {
    if (this == &other) return *this;
    Release();
    pixels = std::move(other.pixels);
    width = std::exchange(other.width, 0);
    height = std::exchange(other.height, 0);
    texture = std::exchange(other.texture, nullptr);
    device_ = std::exchange(other.device_, nullptr);
    return *this;
}

int mtxIETexturePicture::Set(const uint32_t* argb, int w, int h, int maxSide) {
    Release();
    pixels.clear();
    width = height = 0;
    if (!argb || w <= 0 || h <= 0 || w > maxSide || h > maxSide) return 0;
    pixels.assign(argb, argb + size_t(w) * size_t(h));
    width = w, height = h;
    return 1;
}

void mtxIETexturePicture::Release() {
    if (texture) texture->Release();
    texture = nullptr;
    device_ = nullptr;
}

int mtxIETexturePicture::Upload(IDirect3DDevice9* device) {
    if (device_ != device) Release();
    if (texture) return 1;
    if (FAILED(device->CreateTexture(uint32_t(width), uint32_t(height), 1, 0, D3DFMT_A8R8G8B8,
                                     D3DPOOL_MANAGED, &texture, nullptr)))
        return 0;
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
        Release();
        return 0;
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch),
                    &pixels[size_t(y) * size_t(width)], size_t(width) * 4);
    texture->UnlockRect(0);
    device_ = device;
    return 1;
}

int mtxIETexturePicture::Draw(IDirect3DDevice9* device, int x, int y) {
    if (!device || Empty() || !Upload(device)) return 0;
    return mtxIEPrimitives::TexturedRect(device, texture, x, y, width, height);
}
