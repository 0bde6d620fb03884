#include "ui/list_box_img.h"

#include <algorithm>

#include "ui/font.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"

mtxIEListBoxImg::~mtxIEListBoxImg() {
    ClearImages();
}

int mtxIEListBoxImg::AddImageItem(const std::string& text, const uint32_t* pixels, int width,
                                  int height, uintptr_t data) {
    mtxIETexturePicture picture;
    if (picture.Set(pixels, width, height, kMaxSide))
        itemHeight = std::max({itemHeight, height + 2, (profile ? profile->lineHeight : 16) + 2});
    pictures.resize(items.size());
    pictures.push_back(std::move(picture));
    return AddItem(text, data);
}

void mtxIEListBoxImg::ClearImages() {
    pictures.clear();
    Clear();
}

void mtxIEListBoxImg::OnDeviceLost() {
    for (mtxIETexturePicture& p : pictures) p.Release();
    mtxIEListBox::OnDeviceLost();
}

void mtxIEListBoxImg::DrawItem(int index, const RECT& r, bool selected) {
    IDirect3DDevice9* device = editor->GetDevice();
    if (selected) mtxIEPrimitives::FillRect(device, r, profile->selectionColor);
    int textLeft = r.left + 3;
    if (size_t(index) < pictures.size() && !pictures[size_t(index)].Empty() && device) {
        mtxIETexturePicture& p = pictures[size_t(index)];
        p.Draw(device, r.left + 2, r.top + 1);
        textLeft = r.left + p.width + 6;
    }
    if (profile->font)
        profile->font->DrawAligned(device, {textLeft, r.top, r.right, r.bottom},
                                   items[size_t(index)].text, kAlignLeft,
                                   selected ? 0xFFFFFFFF : profile->textColor);
}
