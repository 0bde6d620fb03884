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
        mtxIEPrimitives::FrameRect(device, box, profile->shadowColor);
        if (!title.empty() && profile->font) {
            int w = profile->font->Width(title);
            mtxIEPrimitives::FillRect(device, {x + 6, y, x + 12 + w, y + line + 1},
                                      profile->faceColor);
            profile->font->Draw(device, x + 9, y, title, profile->textColor);
        }
    }
    DrawChildren(x, y, clip);
}
