#pragma once
#include "ui/button.h"

// A box that flips between checked and not on every press (or Space) and
// notifies with the new state: 1 checked, 0 not. The caption lies to the
// right of the box.
class mtxIECheckBox : public mtxIEButton {
  public:
    static constexpr int kBox = 13;

    explicit mtxIECheckBox(mtxIECtrl* parent);
    bool IsChecked() const { return IsPressed(); }
    void SetChecked(int on) { SetPressed(on); }
    void Click() override;

    int OnLButtonDown(int x, int y, uint32_t keys) override;
    int OnLButtonUp(int x, int y, uint32_t keys) override;
    int OnMouseMove(int x, int y, uint32_t keys) override;
    void OnCaptureLost() override {}
    void Draw(int x, int y, const RECT& clip) override;
};
