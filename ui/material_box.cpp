#include "ui/material_box.h"

#include "platform/window.h"
#include "ui/color_selector.h"
#include "ui/flat_look.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"

using namespace mtxOs;

mtxIEMaterialBox::mtxIEMaterialBox(mtxIECtrl* parent) : mtxIEActiveCtrl(parent) {
    rect = {0, 0, 50, (profile ? profile->lineHeight : 16) + 4};
    tabStop = 1;
}

void mtxIEMaterialBox::SetColor(uint32_t value) {
    color = value;
    Invalidate();
}

void mtxIEMaterialBox::Choose() {
    if (!editor) return;
    new mtxIEColorSelector(
        editor, color,
        [this](uint32_t chosen) {
            SetColor(chosen);
            Notify(0);
        },
        LifeToken());
}

int mtxIEMaterialBox::Process(uint32_t, uint16_t) {
    return 0;
}

int mtxIEMaterialBox::OnLButtonDown(int, int, uint32_t) {
    if (!HasFocus()) SetFocus();
    Choose();
    return 1;
}

void mtxIEMaterialBox::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) {
    if (key == VK_SPACE) return Choose();
    mtxIEActiveCtrl::OnKeyDown(key, repeat, keyFlags);
}

void mtxIEMaterialBox::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (!profile) return;
    RECT r = {x, y, x + Width(), y + Height()};
    mtxIEFlatLook::Field(device, *profile, r, true);
    mtxIEPrimitives::FillRect(device, {r.left + 3, r.top + 3, r.right - 3, r.bottom - 3}, color);
    if (HasFocus()) mtxIEPrimitives::FrameRect(device, r, profile->selectionColor);
    (void)clip;
}
