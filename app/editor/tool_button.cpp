#include "app/editor/tool_button.h"

#include "ui/font.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"
#include "ui/profile.h"
#include "ui/skin_look.h"

mtxIEToolButton::mtxIEToolButton(mtxIECtrl* parent, const std::string& text,
                                 mtxIEActionProcessor* processor, uint32_t code, int width)
    : mtxIEActiveCtrl(parent), label(text) {
    SetRect({0, 0, width, 24});
    textAlign = kAlignCenter;
    SetAction(processor, code, 1);
    if (profile && profile->font) profile->font->Prepare(label);
    Show(1);
}

void mtxIEToolButton::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor->GetDevice();
    RECT r = {x, y, x + Width(), y + Height()};
    // The shaded face of the toolkit's buttons, the chosen tool's in the
    // pressed colour; flat and framed where the shader is missing.
    mtxIESkinLook::Face face;
    face.rect = r;
    face.pressed = pressed;
    face.corner = 3.0f;
    face.tint = pressed ? kPressedFace : 0;
    if (!mtxIESkinLook::ButtonFace(editor, *profile, face)) {
        mtxIEPrimitives::FillRect(device, r, pressed ? kPressedFace : profile->faceColor);
        mtxIEPrimitives::FrameRect(device, r,
                                   pressed ? profile->selectionColor : profile->shadowColor);
    }
    if (icon >= 0 && profile->DrawToolIcon(device, icon, {x + 2, y, x + 26, y + Height()})) {
        if (profile->font)
            profile->font->DrawAligned(device, {x + 26, y, r.right - 2, r.bottom}, label,
                                       kAlignCenter, profile->textColor);
    } else {
        DrawText(x, y, label, profile->textColor);
    }
    mtxIECtrl::Draw(x, y, clip);
}

int mtxIEToolButton::OnLButtonDown(int, int, uint32_t) {
    Notify(0);
    return 1;
}
