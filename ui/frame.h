#pragma once
#include <string>

#include "ui/ctrl.h"

// A titled frame around a group of controls, which are its children.
class mtxIEFrame : public mtxIECtrl {
  public:
    explicit mtxIEFrame(mtxIECtrl* parent);
    void SetTitle(const std::string& text);
    // Inside the line, below the title.
    RECT GetClientRect() override;
    void Draw(int x, int y, const RECT& clip) override;

    std::string title;
};
