#include "ui/color_select.h"

#include "ui/color_selector.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"
#include "ui/profile.h"

namespace {
constexpr uint32_t kOpen = 1;
}

mtxIEColorSelect::mtxIEColorSelect(mtxIECtrl* parent) : mtxIEButton(parent) {
    mtxIEButton::SetAction(this, kOpen, 1);
}

void mtxIEColorSelect::SetColor(uint32_t value) {
    if (color == value) return;
    color = value;
    Invalidate();
}

void mtxIEColorSelect::Open() {
    if (!editor) return;
    new mtxIEColorSelector(
        editor, color,
        [this](uint32_t chosen) {
            SetColor(chosen);
            if (onChanged) onChanged(chosen);
        },
        LifeToken());
}

int mtxIEColorSelect::Process(uint32_t action, uint16_t) {
    if (action != kOpen) return 0;
    Open();
    return 1;
}

void mtxIEColorSelect::Draw(int x, int y, const RECT& clip) {
    mtxIEButton::Draw(x, y, clip);
    if (!editor) return;
    IDirect3DDevice9* device = editor->GetDevice();
    RECT swatch = {x + 4, y + 4, x + Width() - 4, y + Height() - 4};
    if (mtxIsEmpty(swatch)) return;
    mtxIEPrimitives::FillRect(device, swatch, color);
    if (profile) mtxIEPrimitives::FrameRect(device, swatch, profile->frameColor);
}
