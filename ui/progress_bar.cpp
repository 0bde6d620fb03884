#include "ui/progress_bar.h"

#include <algorithm>

#include "ui/flat_look.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"

mtxIEProgressBar::mtxIEProgressBar(mtxIECtrl* parent) : mtxIECtrl(parent) {
    rect = {0, 0, 200, 25};
    textAlign = kAlignCenter;
    flags |= kVisible;
}

void mtxIEProgressBar::SetValue(int percent) {
    value = percent;
    text = std::to_string(percent) + " %";
    Invalidate();
}

void mtxIEProgressBar::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (!profile) return;
    RECT r = {x, y, x + Width(), y + Height()};
    mtxIEFlatLook::Field(device, *profile, r, true);
    int shown = std::clamp(value, 0, 100);
    int filled = (Width() - 2) * shown / 100;
    if (filled > 0)
        mtxIEPrimitives::FillRect(device, {x + 1, y + 1, x + 1 + filled, y + Height() - 1},
                                  mtxIEFlatLook::Mix(0xFFFFFFFF, profile->selectionColor, 110));
    DrawText(x, y, text, profile->textColor);
    (void)clip;
}
