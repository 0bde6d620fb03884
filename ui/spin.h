#pragma once
#include <cstdint>

#include "ui/action_processor.h"
#include "ui/active_ctrl.h"

class mtxIEEdit;
class mtxIESpinButton;
class mtxIEButton;
class mtxIESlider;

// A numeric field: a text field for digits, arrow buttons that step the value
// (holding them repeats), and a drop button that shows a slider below the
// field. The value stays inside [minimum, maximum]; the arrow keys and Page
// Up/Down in the field step it. Every change notifies the target with the
// value (its low 16 bits).
class mtxIESpin : public mtxIEActiveCtrl, public mtxIEActionProcessor {
  public:
    enum Part : uint32_t { kSpinButton = 1, kEdit = 2, kDropButton = 3, kSlider = 4 };
    static constexpr int kButtonWidth = 14;

    explicit mtxIESpin(mtxIECtrl* parent);
    ~mtxIESpin() override;

    void SetRange(int minimum, int maximum);
    // Clamped; rewrites the field. Notifies only with notify; 1 on a change.
    int SetValue(int v, bool notify = false);
    int Value() const { return value; }
    bool SliderShown() const;
    // Whether the focus lies in the spin or on its slider.
    bool FocusWithin() const;

    void LayoutChildren() override;
    int Process(uint32_t part, uint16_t v) override;
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) override;
    int OnDescendantFocusLost() override;

    int minimum = 0, maximum = 100, value = 0, step = 1;
    mtxIEEdit* edit = nullptr;
    mtxIESpinButton* spinButton = nullptr;
    mtxIEButton* dropButton = nullptr;
    mtxIESlider* slider = nullptr;  // a pop-up root owned by the spin

  private:
    void ShowSlider(bool on);
    void WriteText();
};
