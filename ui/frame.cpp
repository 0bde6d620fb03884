#include "ui/frame.h"

#include "ui/font.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"

mtxIEFrame::mtxIEFrame(mtxIECtrl* parent) : mtxIECtrl(parent) {
    rect = {0, 0, 150, 100};
    flags |= kVisible;
}

void mtxIEFrame::SetTitle(const std::string& text) {
    title = text;
    Invalidate();
}

RECT mtxIEFrame::GetClientRect() {
    int line = profile ? profile->lineHeight : 16;
    return {6, line + 4, Width() - 6, Height() - 6};
}

void mtxIEFrame::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (profile) {
        int line = profile->lineHeight;
        RECT box = {x, y + line / 2, x + Width(), y + Height()};
        const uint32_t color = profile->shadowColor;
        // The top edge leaves a gap for the title, so whatever face lies
        // below (a shaded dialog panel) shows behind it.
        bool titled = !title.empty() && profile->font;
        int gapLeft = x + 6, gapRight = titled ? x + 12 + profile->font->Width(title) : gapLeft;
        mtxIEPrimitives::FillRect(device, {box.left, box.top, gapLeft, box.top + 1}, color);
        mtxIEPrimitives::FillRect(device, {gapRight, box.top, box.right, box.top + 1}, color);
        mtxIEPrimitives::FillRect(device, {box.left, box.top, box.left + 1, box.bottom}, color);
        mtxIEPrimitives::FillRect(device, {box.right - 1, box.top, box.right, box.bottom}, color);
        mtxIEPrimitives::FillRect(device, {box.left, box.bottom - 1, box.right, box.bottom}, color);
        if (titled) profile->font->Draw(device, x + 9, y, title, profile->textColor);
    }
    DrawChildren(x, y, clip);
}
