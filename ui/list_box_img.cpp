#include "ui/list_box_img.h"

#include <algorithm>
#include <cstring>

#include "ui/font.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"

mtxIEListBoxImg::~mtxIEListBoxImg() {
    ClearImages();
}

int mtxIEListBoxImg::AddImageItem(const std::string& text, const uint32_t* pixels, int width,
                                  int height, uintptr_t data) {
    Picture picture;
    if (pixels && width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide) {
        picture.pixels.assign(pixels, pixels + size_t(width) * size_t(height));
        picture.width = width, picture.height = height;
        itemHeight = std::max({itemHeight, height + 2, (profile ? profile->lineHeight : 16) + 2});
    }
    pictures.resize(items.size());
    pictures.push_back(std::move(picture));
    return AddItem(text, data);
}

void mtxIEListBoxImg::ClearImages() {
    for (Picture& p : pictures) Release(p);
    pictures.clear();
    Clear();
}

void mtxIEListBoxImg::Release(Picture& picture) {
    if (picture.texture) picture.texture->Release();
    picture.texture = nullptr;
    picture.device = nullptr;
}

void mtxIEListBoxImg::OnDeviceLost() {
    for (Picture& p : pictures) Release(p);
    mtxIEListBox::OnDeviceLost();
}

int mtxIEListBoxImg::Upload(Picture& p, IDirect3DDevice9* device) {
    if (p.device != device) Release(p);
    if (p.texture) return 1;
    if (FAILED(device->CreateTexture(uint32_t(p.width), uint32_t(p.height), 1, 0, D3DFMT_A8R8G8B8,
                                     D3DPOOL_MANAGED, &p.texture, nullptr)))
        return 0;
    D3DLOCKED_RECT locked;
    if (FAILED(p.texture->LockRect(0, &locked, nullptr, 0))) {
        Release(p);
        return 0;
    }
    for (int y = 0; y < p.height; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch),
                    &p.pixels[size_t(y) * size_t(p.width)], size_t(p.width) * 4);
    p.texture->UnlockRect(0);
    p.device = device;
    return 1;
}

void mtxIEListBoxImg::DrawItem(int index, const RECT& r, bool selected) {
    IDirect3DDevice9* device = editor->GetDevice();
    if (selected) mtxIEPrimitives::FillRect(device, r, profile->selectionColor);
    int textLeft = r.left + 3;
    if (size_t(index) < pictures.size() && !pictures[size_t(index)].pixels.empty() && device) {
        Picture& p = pictures[size_t(index)];
        if (Upload(p, device))
            mtxIEPrimitives::TexturedRect(device, p.texture, r.left + 2, r.top + 1, p.width,
                                          p.height);
        textLeft = r.left + p.width + 6;
    }
    if (profile->font)
        profile->font->DrawAligned(device, {textLeft, r.top, r.right, r.bottom},
                                   items[size_t(index)].text, kAlignLeft,
                                   selected ? 0xFFFFFFFF : profile->textColor);
}
