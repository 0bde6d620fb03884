#pragma once
#include <cstdint>

#include "ui/ctrl.h"

class mtxIEActionProcessor;

// A control that reports what the user did as an action to a processor.
class mtxIEActiveCtrl : public mtxIECtrl {
  public:
    using mtxIECtrl::mtxIECtrl;

    void SetAction(mtxIEActionProcessor* processor, uint32_t code, uint32_t synchronous) {
        target = processor, action = code, sync = synchronous;
    }
    // Sends (sync 1) or posts (0) the action with value; nothing without a
    // target or an action code.
    void Notify(uint16_t value);
    // The pressed look of a button that stays down (a tool bar's current
    // tool); controls with such a look override it.
    virtual void SetPressed(int on) {
        if (pressed == uint32_t(on != 0)) return;
        pressed = on != 0;
        Invalidate();
    }

    mtxIEActionProcessor* target = nullptr;
    uint32_t action = 0;  // 16 bits
    uint32_t sync = 0;
    uint32_t pressed = 0;
    // Tab and Shift+Tab stop at the control.
    uint32_t tabStop = 0;
};
