#pragma once
#include <memory>

#include "app/document/designer.h"
#include "ui/menu.h"
#include "ui/viewer/viewer.h"

class mtxIEButton;
class mtxIELabel;
class mtxIEMdf;

// The designer's viewer: it holds the current tool (a control of its own)
// and, while there is no tool, opens the layers menu on a right-button press.
class mtxIEDesigner::Viewer : public mtxIEViewer {
  public:
    // The layers menu: "Add Layer" (1) and "Add Layer From File" (2), chosen
    // items reaching the designer.
    class Menu : public mtxIEMenu {
      public:
        Menu(mtxImageEditor* editor, mtxIEDesigner* designer);
    };

    Viewer(mtxIECtrl* parent, mtxIEDesigner* designer);
    ~Viewer() override;

    // Makes tool (a child of this viewer, or null) the current one; the
    // previous tool is destroyed.
    void SetTool(mtxIEMdf* newTool);
    int OnRButtonDown(int x, int y, uint32_t keys) override;
    // Also shows the hint and the demo button while there is no picture.
    void UpdateView() override;

    mtxIEDesigner* designer;
    std::unique_ptr<Menu> menu;
    mtxIEMdf* tool = nullptr;  // a child control, destroyed with the viewer
    // While no picture is open, centred: one line of what to do, and below it
    // a button that opens the demo photo (when there is one).
    mtxIELabel* hint = nullptr;
    mtxIEButton* demoButton = nullptr;

  private:
    void PlaceHint();
};
