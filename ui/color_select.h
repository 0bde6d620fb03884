#pragma once
#include <cstdint>
#include <functional>

#include "ui/action_processor.h"
#include "ui/button.h"

// A button that shows a colour; pressing it opens the colour selector over
// the editor, and the colour chosen there becomes the button's (onChanged is
// told). The selector is left alone if the button goes first.
class mtxIEColorSelect : public mtxIEButton, public mtxIEActionProcessor {
  public:
    explicit mtxIEColorSelect(mtxIECtrl* parent);

    void SetColor(uint32_t value);
    uint32_t Color() const { return color; }
    // Opens the colour selector on the present colour.
    void Open();

    int Process(uint32_t action, uint16_t value) override;
    void Draw(int x, int y, const RECT& clip) override;

    uint32_t color = 0xFFFFFFFF;
    std::function<void(uint32_t)> onChanged;
};
