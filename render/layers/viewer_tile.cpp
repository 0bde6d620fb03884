#include "render/layers/viewer_tile.h"

#include <algorithm>

#include "render/layers/device_draw.h"

mtxIEViewerLayer::Tile::Tile(mtxIEViewerLayer* owner, int x, int y, int width, int height)
    : editor(owner->editor), layer(owner), x(x), y(y), width(width), height(height) {}

mtxIEViewerLayer::Tile::~Tile() {
    ReleaseTextures();
}

void mtxIEViewerLayer::Tile::ReleaseTextures() {
    editor->ReleaseTexture(mtxImageEditorDevice::kPoolColor, color);
    editor->ReleaseTexture(mtxImageEditorDevice::kPoolColor, texture);
    editor->ReleaseTexture(mtxImageEditorDevice::kPoolNormal, normal);
    color = texture = normal = nullptr;
    dirty = 0;
}

int mtxIEViewerLayer::Tile::Upload(int kind) {
    IDirect3DTexture9*& slot = kind == kSource ? color : texture;
    mtxImageDx* image =
        dynamic_cast<mtxImageDx*>(kind == kSource ? layer->source : layer->textureImage);
    IDirect3DDevice9* device = editor->GetDevice();
    IDirect3DSurface9* from = image ? image->GetSurface() : nullptr;
    if (!device || !from) return 0;
    if (!slot) slot = editor->AcquireTexture(mtxImageEditorDevice::kPoolColor);
    if (!slot) return 0;
    mtxViewDraw::Level level(slot);

    // Texel (i, j) holds image pixel (x - 1 + i, y - 1 + j).
    RECT r;
    r.left = std::max(x - 1, 0);
    r.top = std::max(y - 1, 0);
    r.right = std::min(x + kTextureEdge - 1, image->width);
    r.bottom = std::min(y + kTextureEdge - 1, image->height);
    if (r.right <= r.left || r.bottom <= r.top) return 0;
    const int32_t at = r.left - (x - 1), down = r.top - (y - 1);  // 1 at the left or top edge
    // A pool texture keeps what its last user left, so every texel the copies
    // below do not reach is cleared, not only those of tiles narrower than 126.
    if (r.right - r.left + at < kTextureEdge || r.bottom - r.top + down < kTextureEdge)
        device->ColorFill(level.surface, nullptr, 0);
    HRESULT result = D3D_OK;
    auto copy = [&](RECT from_, POINT to) {
        HRESULT hr = device->UpdateSurface(from, &from_, level.surface, &to);
        if (FAILED(hr)) result = hr;
    };
    // Along the image's left and top edges the border repeats the edge pixels.
    if (at) copy({0, r.top, 1, r.bottom}, {0, down});
    if (down) copy({r.left, 0, r.right, 1}, {at, 0});
    if (at && down) copy({0, 0, 1, 1}, {0, 0});
    copy(r, {at, down});
    return SUCCEEDED(result) ? 1 : 0;
}

int mtxIEViewerLayer::Tile::UploadPart(const mtxRect& part) {
    if (!color) return Upload(kSource);
    auto* image = dynamic_cast<mtxImageDx*>(layer->source);
    IDirect3DDevice9* device = editor->GetDevice();
    IDirect3DSurface9* from = image ? image->GetSurface() : nullptr;
    if (!device || !from) return 0;
    if (part.left < x || part.top < y || part.right > x + width || part.bottom > y + height)
        return 0;
    if (part.IsEmpty()) return 1;
    mtxViewDraw::Level level(color);
    const RECT r = {part.left, part.top, part.right, part.bottom};
    const POINT to = {part.left - (x - 1), part.top - (y - 1)};
    return SUCCEEDED(device->UpdateSurface(from, &r, level.surface, &to)) ? 1 : 0;
}

int mtxIEViewerLayer::Tile::MakeNormalTexture(mtxIEPixelShader* heightToNormal) {
    IDirect3DDevice9* device = editor->GetDevice();
    if (!device || !color || !heightToNormal) return 0;
    if (!normal) normal = editor->AcquireTexture(mtxImageEditorDevice::kPoolNormal);
    if (!normal) return 0;
    mtxViewDraw::TargetScope scope(editor);
    mtxViewDraw::Level level(normal);
    device->SetRenderTarget(0, level.surface);
    mtxViewDraw::SetProjection(editor, kTextureEdge, kTextureEdge);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(heightToNormal->shader);
    device->SetTexture(0, color);
    mtxViewDraw::DrawTexturedSquare(device, kTextureEdge);
    device->SetTexture(0, nullptr);
    device->SetPixelShader(nullptr);
    return 1;
}
