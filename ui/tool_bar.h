#pragma once
#include <cstdint>
#include <vector>

#include "ui/ctrl.h"

// A bar of controls in rows (layout 1: rows stacked, items left to right) or
// columns (layout 2: columns side by side, items top to bottom), each item
// after its spacing, on the face colour with an optional bevel.
class mtxIEToolBar : public mtxIECtrl {
  public:
    static constexpr int kMaxRows = 16;
    enum Layout : uint32_t { kRows = 1, kColumns = 2 };
    struct Item {
        mtxIECtrl* control;
        int spacing;
    };

    using mtxIECtrl::mtxIECtrl;

    // Appends the item to the row; row may be one past the last used. 0 for a
    // row outside that (nothing is added).
    int AddItem(mtxIECtrl* control, int row, int spacing);
    // Marks the buttons with that action code pressed and releases the others.
    virtual void Select(uint32_t code);
    void LayoutChildren() override;
    void Draw(int x, int y, const RECT& clip) override;

    std::vector<Item> rows[kMaxRows];
    int rowCount = 0;
    uint32_t layout = kRows;
    int spacing = 5;
    uint32_t border = 0;
    // The face without a background picture; with the profile's picture the
    // picture is the face, shaded by the bar's bevel shader.
    uint32_t faceColor = 0xFFD4D0C8;
};
