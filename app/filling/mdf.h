#pragma once
#include "ui/ctrl.h"

class mtxIEViewer;
class mtxIEToolBar;

// An editing tool shown as a control; child of the viewer. It puts its
// buttons into the tool bar it is given and is hidden until the document
// controller activates it.
class mtxIEMdf : public mtxIECtrl {
  public:
    mtxIEMdf(mtxIEViewer* viewer, mtxIEToolBar* toolBar);
    virtual void OnPictureOpening() {}
    virtual void OnOptionsChanged() {}
    virtual void Suspend() {}
    virtual void Resume() {}
    virtual void ResetBackground() {}
    virtual void BuildToolBar();  // empties the tool bar

    mtxIEViewer* viewer;
    mtxIEToolBar* toolBar;
};
