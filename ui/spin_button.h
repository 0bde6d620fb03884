#pragma once
#include "ui/action_processor.h"
#include "ui/active_ctrl.h"
#include "ui/button.h"

// A small button drawing an arrow glyph of its kind (mtxIEPrimitives::Arrow).
class mtxIESysButton : public mtxIEButton {
  public:
    mtxIESysButton(mtxIECtrl* parent, int glyph);
    void Draw(int x, int y, const RECT& clip) override;
    int kind;
};

// Up and down arrow buttons, one above the other, that repeat while held;
// they report to the spin button (1 up, 2 down), which reports the direction
// to its target as the value (1 up, 2 down). A single button reports 1.
class mtxIESpinButton : public mtxIEActiveCtrl, public mtxIEActionProcessor {
  public:
    enum Direction : uint16_t { kUp = 1, kDown = 2 };
    mtxIESpinButton(mtxIECtrl* parent, bool single = false);
    void LayoutChildren() override;
    int Process(uint32_t code, uint16_t value) override;

    mtxIESysButton* up = nullptr;
    mtxIESysButton* down = nullptr;
};
