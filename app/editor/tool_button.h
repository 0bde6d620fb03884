#pragma once
#include <cstdint>
#include <string>

#include "ui/active_ctrl.h"

class mtxIEActionProcessor;

// A tool bar button: a face with a label (and the icon of its tool, where it
// has one) that reports its action on a press and stays pressed while its bar
// shows it as the chosen one.
class mtxIEToolButton : public mtxIEActiveCtrl {
  public:
    mtxIEToolButton(mtxIECtrl* parent, const std::string& label, mtxIEActionProcessor* target,
                    uint32_t code, int width = 64);
    void Draw(int x, int y, const RECT& clip) override;
    int OnLButtonDown(int x, int y, uint32_t keys) override;

    std::string label;
    int icon = -1;  // the tool-bar picture's icon shown left of the label; -1: none
    static constexpr uint32_t kPressedFace = 0xFFB8C8E0;
};
