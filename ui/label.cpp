#include "ui/label.h"

#include "ui/font.h"
#include "ui/profile.h"

mtxIELabel::mtxIELabel(mtxIECtrl* parent) : mtxIECtrl(parent) {
    int height = (profile ? profile->lineHeight : 16) + 2;
    rect = {0, 0, 100, height};
    flags |= kVisible;
}

int mtxIELabel::TextWidth() const {
    return profile && profile->font ? profile->font->Width(text) : 0;
}

void mtxIELabel::SetText(const std::string& value, bool autoWidth) {
    Invalidate();
    text = value;
    if (autoWidth) rect.right = rect.left + TextWidth();
    Invalidate();
}

void mtxIELabel::Draw(int x, int y, const RECT& clip) {
    DrawText(x, y, text, color ? color : (profile ? profile->textColor : 0xFF000000));
    mtxIECtrl::Draw(x, y, clip);
}
