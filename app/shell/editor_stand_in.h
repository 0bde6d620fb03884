#pragma once
#include "app/wnd.h"

// FIXME: stands in for mtxImageEditorVD, the editor window that fills the main
// window (device, viewer, tool bars, document controller). Until it exists
// this child window only paints a quiet background and a hint, so the main
// window, its menu and its commands can run. Replace it, keeping Create,
// SetUp and GetDesigner as the main window calls them.
class mtxEditorStandIn : public mtxWnd {
  public:
    // Creates the child window; 0 when it could not be created.
    int Create(mtxWnd* parent, int x, int y, int width, int height);
    // Would build the tool bars and the document controller.
    void SetUp() {}
    // The document controller; none until the editor exists.
    void* GetDesigner() const { return nullptr; }

    LRESULT OnPaint(WPARAM, LPARAM) override;
    LRESULT OnEraseBkgnd(WPARAM, LPARAM) override { return 0x10001; }  // OnPaint covers all
};
