#pragma once
#include "app/document/designer.h"
#include "ui/tool_bar.h"

// The tool options bar along the bottom of the designer: the current tool
// fills it with its controls.
class mtxIEDesigner::InstrOptionsBar : public mtxIEToolBar {
  public:
    explicit InstrOptionsBar(mtxIECtrl* parent) : mtxIEToolBar(parent) { border = 1; }
    // Destroys every control of the bar.
    void Empty();
};
