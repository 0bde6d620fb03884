#pragma once
#include <cstdint>
#include <vector>

#include "platform/device.h"

class mtxFlashBox;

// Square render-target textures of one format and edge, handed out and taken
// back so that drawing does not create a texture per use.
class mtxRenderTargetPool {
  public:
    mtxRenderTargetPool(mtxFlashBox* owner, D3DFORMAT format, uint32_t edge)
        : owner(owner), format(format), edge(edge) {}
    ~mtxRenderTargetPool() { Empty(); }
    mtxRenderTargetPool(const mtxRenderTargetPool&) = delete;
    mtxRenderTargetPool& operator=(const mtxRenderTargetPool&) = delete;

    // A texture from the free list, else a new one (one level, render target,
    // default pool); null when none can be made.
    IDirect3DTexture9* Acquire();
    // Puts a texture handed out by this pool back on the free list. Anything
    // else (null, or a texture the pool no longer knows because the device
    // was lost meanwhile) is ignored, so a late return cannot resurrect a
    // released texture.
    void Release(IDirect3DTexture9* texture);
    // Releases every texture, free or in use (device loss, destruction).
    void Empty();

    mtxFlashBox* owner;
    D3DFORMAT format;
    uint32_t edge;
    std::vector<IDirect3DTexture9*> used;
    std::vector<IDirect3DTexture9*> free;
};
