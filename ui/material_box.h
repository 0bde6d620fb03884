#pragma once
#include <cstdint>

#include "ui/action_processor.h"
#include "ui/active_ctrl.h"

// A 50-pixel box showing a colour (the material of a fill); a press or Space
// opens the colour selector, and a colour chosen there becomes the box's
// and notifies the target (value 0).
// FIXME: the material gradients (relief, gloss, emission) that the box shows
// and edits in the full program are not specified; it holds a plain colour.
class mtxIEMaterialBox : public mtxIEActiveCtrl, public mtxIEActionProcessor {
  public:
    explicit mtxIEMaterialBox(mtxIECtrl* parent);

    void SetColor(uint32_t value);
    uint32_t Color() const { return color; }
    // Opens the colour selector over the editor.
    void Choose();

    int Process(uint32_t action, uint16_t value) override;
    int OnLButtonDown(int x, int y, uint32_t keys) override;
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) override;
    void Draw(int x, int y, const RECT& clip) override;

    uint32_t color = 0xFFFFFFFF;
};
