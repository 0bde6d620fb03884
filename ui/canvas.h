#pragma once
#include "ui/ctrl.h"

// The editor's background control: the root of the window's content, sized
// to the client area, receiving whatever no other control takes.
class mtxIECanvas : public mtxIECtrl {
  public:
    explicit mtxIECanvas(mtxImageEditor* editor) : mtxIECtrl(editor) { flags |= kVisible; }
};
