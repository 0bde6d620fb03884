#include "render/render_target_pool.h"

#include <algorithm>

#include "render/flash_box.h"

IDirect3DTexture9* mtxRenderTargetPool::Acquire() {
    IDirect3DTexture9* texture = nullptr;
    if (!free.empty()) {
        texture = free.back();
        free.pop_back();
    } else {
        IDirect3DDevice9* device = owner ? owner->GetDevice() : nullptr;
        if (!device || FAILED(device->CreateTexture(edge, edge, 1, D3DUSAGE_RENDERTARGET, format,
                                                    D3DPOOL_DEFAULT, &texture, nullptr)))
            return nullptr;
    }
    used.push_back(texture);
    return texture;
}

void mtxRenderTargetPool::Release(IDirect3DTexture9* texture) {
    auto it = std::find(used.begin(), used.end(), texture);
    if (!texture || it == used.end()) return;
    used.erase(it);
    free.push_back(texture);
}

void mtxRenderTargetPool::Empty() {
    for (IDirect3DTexture9* texture : used) texture->Release();
    for (IDirect3DTexture9* texture : free) texture->Release();
    used.clear();
    free.clear();
}
