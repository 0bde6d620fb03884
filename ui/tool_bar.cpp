#include "ui/tool_bar.h"

#include <algorithm>

#include "ui/active_ctrl.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"
#include "ui/skin_look.h"

int mtxIEToolBar::AddItem(mtxIECtrl* control, int row, int gap) {
    if (!control || row < 0 || row > rowCount || row >= kMaxRows) return 0;
    if (row == rowCount) ++rowCount;
    rows[row].push_back({control, gap});
    LayoutChildren();
    return 1;
}

void mtxIEToolBar::Select(uint32_t code) {
    for (int r = 0; r < rowCount; ++r)
        for (const Item& item : rows[r])
            if (auto* active = dynamic_cast<mtxIEActiveCtrl*>(item.control))
                active->SetPressed(active->action == code ? 1 : 0);
}

// Each row is as deep as its deepest item, and rows follow each other after
// the bar's spacing; the items of a row keep their own sizes.
void mtxIEToolBar::LayoutChildren() {
    int across = spacing;
    for (int r = 0; r < rowCount; ++r) {
        int along = 0, depth = 0;
        for (const Item& item : rows[r]) {
            mtxIECtrl* c = item.control;
            int w = c->Width(), h = c->Height();
            along += item.spacing;
            if (layout == kColumns) {
                c->SetRect({across, along, across + w, along + h});
                along += h, depth = std::max(depth, w);
            } else {
                c->SetRect({along, across, along + w, across + h});
                along += w, depth = std::max(depth, h);
            }
        }
        across += depth + spacing;
    }
}

void mtxIEToolBar::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    RECT r = {x, y, x + Width(), y + Height()};
    if (profile)
        mtxIESkinLook::ToolBarFace(editor, *profile, r, faceColor);
    else
        mtxIEPrimitives::FillRect(device, r, faceColor);
    if (border) {
        uint32_t light = profile ? profile->lightColor : 0xFFFFFFFF;
        uint32_t dark = profile ? profile->shadowColor : 0xFF808080;
        mtxIEPrimitives::FillRect(device, {r.left, r.top, r.right, r.top + 1}, light);
        mtxIEPrimitives::FillRect(device, {r.left, r.top, r.left + 1, r.bottom}, light);
        mtxIEPrimitives::FillRect(device, {r.left, r.bottom - 1, r.right, r.bottom}, dark);
        mtxIEPrimitives::FillRect(device, {r.right - 1, r.top, r.right, r.bottom}, dark);
    }
    mtxIECtrl::Draw(x, y, clip);
}
