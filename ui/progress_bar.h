#pragma once
#include <string>

#include "ui/ctrl.h"

// A bar filled to its value in percent, with the value written in its middle
// ("42 %"). 200 x 25 by default.
class mtxIEProgressBar : public mtxIECtrl {
  public:
    explicit mtxIEProgressBar(mtxIECtrl* parent);
    // Stores the value (the bar shows 0..100 of it) and its text.
    void SetValue(int percent);
    int Value() const { return value; }
    const std::string& Text() const { return text; }
    void Draw(int x, int y, const RECT& clip) override;

    int value = 0;
    std::string text = "0 %";
};
