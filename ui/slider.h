#pragma once
#include <cstdint>

#include "ui/active_ctrl.h"

// A horizontal slider over a range: a press or drag puts the value under the
// pointer, the arrow keys step it, Page Up and Page Down step by a tenth of
// the range, Home and End go to the ends. Every change notifies the target
// with the value (its low 16 bits).
class mtxIESlider : public mtxIEActiveCtrl {
  public:
    static constexpr int kThumb = 8;
    explicit mtxIESlider(mtxIECtrl* parent);
    // A root, for a pop-up: placed in editor coordinates.
    explicit mtxIESlider(mtxImageEditor* editor);

    // max below min is taken as min; the value is kept inside.
    void SetRange(int minimum, int maximum);
    // Clamped to the range; 1 when the value changed. Notifies only with notify.
    int SetValue(int v, bool notify = false);
    int Value() const { return value; }
    // The value under a local x.
    int ValueAt(int localX) const;

    int OnLButtonDown(int x, int y, uint32_t keys) override;
    int OnMouseMove(int x, int y, uint32_t keys) override;
    int OnLButtonUp(int x, int y, uint32_t keys) override;
    void OnCaptureLost() override { dragging = false; }
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) override;
    void Draw(int x, int y, const RECT& clip) override;

    int minimum = 0, maximum = 100, value = 0, step = 1;
    bool dragging = false;
};
