#include "ui/bmp_button.h"

#include "ui/image_editor.h"

int mtxIEBmpButton::SetPicture(const uint32_t* argb, int width, int height) {
    int ok = picture.Set(argb, width, height, kMaxSide);
    Invalidate();
    return ok;
}

void mtxIEBmpButton::Draw(int x, int y, const RECT& clip) {
    mtxIEButton::Draw(x, y, clip);
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (!device || picture.Empty()) return;
    int shift = IsPressed() ? 1 : 0;
    picture.Draw(device, x + (Width() - picture.width) / 2 + shift,
                 y + (Height() - picture.height) / 2 + shift);
}

void mtxIEBmpButton::OnDeviceLost() {
    picture.Release();
    mtxIEButton::OnDeviceLost();
}
