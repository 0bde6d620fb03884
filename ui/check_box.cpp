#include "ui/check_box.h"

#include "ui/flat_look.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"

mtxIECheckBox::mtxIECheckBox(mtxIECtrl* parent) : mtxIEButton(parent) {
    rect = {0, 0, 100, (profile ? profile->lineHeight : 16) + 2};
    textAlign = kAlignLeft;
}

void mtxIECheckBox::Click() {
    SetPressedBit(!IsPressed());
    Notify(IsPressed() ? 1 : 0);
}

int mtxIECheckBox::OnLButtonDown(int, int, uint32_t) {
    if (!HasFocus()) SetFocus();
    Click();
    return 1;
}

int mtxIECheckBox::OnLButtonUp(int, int, uint32_t) {
    return 1;
}

int mtxIECheckBox::OnMouseMove(int x, int y, uint32_t keys) {
    return mtxIEActiveCtrl::OnMouseMove(x, y, keys);
}

void mtxIECheckBox::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    int top = y + (Height() - kBox) / 2;
    RECT box = {x + 1, top, x + 1 + kBox, top + kBox};
    if (profile && profile->HasSkins()) {
        bool hot = editor && editor->hover == this;
        profile->DrawCheckBox(device, box.left, box.top, IsChecked(), hot);
        if (HasFocus())
            mtxIEPrimitives::FrameRect(device, {x, y, x + Width(), y + Height()},
                                       profile->selectionColor);
    } else if (profile) {
        mtxIEFlatLook::Field(device, *profile, box, true);
        if (IsChecked())
            mtxIEPrimitives::FillRect(device,
                                      {box.left + 3, box.top + 3, box.right - 3, box.bottom - 3},
                                      profile->textColor);
        if (HasFocus())
            mtxIEPrimitives::FrameRect(device, {x, y, x + Width(), y + Height()},
                                       profile->selectionColor);
    }
    if (!caption.empty()) DrawText(x + kBox + 6, y, caption, color);
    (void)clip;
}
