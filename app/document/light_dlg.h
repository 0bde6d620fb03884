#pragma once
#include <cstdint>

#include "app/document/designer.h"
#include "ui/dlg_ok_cancel.h"

class mtxIESlider;

// "Light": where the relief light comes from (Angle, 0..359 degrees
// counter-clockwise from the right) and its Strength (0..100). The picture
// shows each change at once; OK keeps the light as it is then, one change
// for Undo; Cancel puts back the light the dialog found.
class mtxIEDesigner::DlgLight : public mtxIEDlgOkCancel {
  public:
    enum : uint32_t { kAngle = 10, kStrength = 11 };
    static constexpr int kWidth = 260, kHeight = 150;

    DlgLight(mtxImageEditor* editor, mtxIEDesigner* designer);
    int OnAction(uint32_t action, uint16_t value) override;

    mtxIEDesigner* designer;
    mtxIESlider* angle = nullptr;
    mtxIESlider* strength = nullptr;
    mtxReliefLight found;  // the light when the dialog opened
};
