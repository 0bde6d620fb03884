#pragma once
#include <cstdint>
#include <vector>

#include "platform/device.h"

// A small picture kept in memory whose device texture is made when it is
// first drawn, and made again after a device loss or on another device.
class mtxIETexturePicture {
  public:
    mtxIETexturePicture() = default;
    mtxIETexturePicture(mtxIETexturePicture&& other) noexcept;
    mtxIETexturePicture& operator=(mtxIETexturePicture&& other) noexcept;
    ~mtxIETexturePicture() { Release(); }

    // width x height A8R8G8B8 pixels, row 0 first; a missing picture or a
    // side outside 1..maxSide leaves it empty (0).
    int Set(const uint32_t* argb, int width, int height, int maxSide);
    bool Empty() const { return pixels.empty(); }
    // Draws it texel for texel with its top-left corner on (x, y).
    int Draw(IDirect3DDevice9* device, int x, int y);
    // Gives the texture back; the pixels stay for the next draw.
    void Release();

    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    IDirect3DTexture9* texture = nullptr;

  private:
    int Upload(IDirect3DDevice9* device);
    IDirect3DDevice9* device_ = nullptr;
};
