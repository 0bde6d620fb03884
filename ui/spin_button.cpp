#include "ui/spin_button.h"

#include "ui/flat_look.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"
#include "ui/skin_look.h"

mtxIESysButton::mtxIESysButton(mtxIECtrl* parent, int glyph) : mtxIEButton(parent), kind(glyph) {
    cornerSize = 0.1f;
    tabStop = 0;
}

void mtxIESysButton::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    RECT r = {x, y, x + Width(), y + Height()};
    if (!profile) return;
    mtxIESkinLook::Face face;
    face.rect = r;
    face.pressed = IsPressed();
    face.hot = style & kHot;
    face.corner = 2.0f;
    if (!mtxIESkinLook::SysButtonFace(editor, *profile, face))
        mtxIESkinLook::ButtonFace(editor, *profile, face);
    int shift = IsPressed() ? 1 : 0;
    mtxIEPrimitives::ArrowGlyph(device, mtxOffset(r, shift, shift), kind, profile->arrowColor);
    (void)clip;
}

mtxIESpinButton::mtxIESpinButton(mtxIECtrl* parent, bool single) : mtxIEActiveCtrl(parent) {
    rect = {0, 0, 14, 20};
    flags |= kVisible;
    up = new mtxIESysButton(this, mtxIEPrimitives::kArrowUp);
    up->style |= mtxIEButton::kAutoRepeat;
    up->SetAction(this, kUp, 1);
    up->Show(1);
    if (!single) {
        down = new mtxIESysButton(this, mtxIEPrimitives::kArrowDown);
        down->style |= mtxIEButton::kAutoRepeat;
        down->SetAction(this, kDown, 1);
        down->Show(1);
    }
    LayoutChildren();
}

void mtxIESpinButton::LayoutChildren() {
    int w = Width(), h = Height();
    if (!down) {
        if (up) up->SetRect({0, 0, w, h});
        return;
    }
    up->SetRect({0, 0, w, h / 2});
    down->SetRect({0, h / 2, w, h});
}

int mtxIESpinButton::Process(uint32_t code, uint16_t) {
    if (code != kUp && code != kDown) return 0;
    Notify(uint16_t(code));
    return 1;
}
