#pragma once
#include <cstdint>
#include <vector>

#include "ui/action_processor.h"
#include "ui/button.h"

class mtxIERadioGroup;

// One choice of a radio group: 14 pixels wide without a caption; pressing it
// chooses it. The arrow keys move the choice within its group.
class mtxIERadioButton : public mtxIEButton {
  public:
    explicit mtxIERadioButton(mtxIECtrl* parent);
    void Click() override;
    int OnLButtonDown(int x, int y, uint32_t keys) override;
    int OnLButtonUp(int, int, uint32_t) override { return 1; }
    int OnMouseMove(int x, int y, uint32_t keys) override {
        return mtxIEActiveCtrl::OnMouseMove(x, y, keys);
    }
    void OnCaptureLost() override {}
    void Draw(int x, int y, const RECT& clip) override;
};

// Radio buttons of which one is chosen. Its buttons are its children and
// report to it synchronously with their 1-based position; the group keeps
// one pressed and reports the position to its own target.
class mtxIERadioGroup : public mtxIECtrl, public mtxIEActionProcessor {
  public:
    explicit mtxIERadioGroup(mtxIECtrl* parent);

    // A new button below the last, with its caption; returns it.
    mtxIERadioButton* AddButton(const std::string& caption);
    // Chooses the button at position (1-based); 0 chooses none. Notifies only
    // with notify.
    void Select(int position, bool notify = false);
    int Selected() const { return selected; }
    void SetAction(mtxIEActionProcessor* processor, uint32_t code, uint32_t synchronous) {
        target = processor, action = code, sync = synchronous;
    }
    int Process(uint32_t code, uint16_t value) override;
    // Up and Left choose the previous button, Down and Right the next.
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) override;

    std::vector<mtxIERadioButton*> buttons;
    int selected = 0;
    mtxIEActionProcessor* target = nullptr;
    uint32_t action = 0, sync = 0;
};
