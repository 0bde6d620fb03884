#include "app/filling/mdf.h"

#include "ui/tool_bar.h"
#include "ui/viewer/viewer.h"

mtxIEMdf::mtxIEMdf(mtxIEViewer* owner, mtxIEToolBar* bar)
    : mtxIECtrl(owner), viewer(owner), toolBar(bar) {
    flags &= ~kVisible;
}

// The items that are the bar's children are destroyed with it; others are
// only taken off the rows.
void mtxIEMdf::BuildToolBar() {
    if (!toolBar) return;
    for (int r = 0; r < mtxIEToolBar::kMaxRows; ++r) {
        std::vector<mtxIEToolBar::Item> items;
        items.swap(toolBar->rows[r]);
        for (const mtxIEToolBar::Item& item : items) toolBar->RemoveChild(item.control);
    }
    toolBar->rowCount = 0;
    toolBar->Invalidate();
}
