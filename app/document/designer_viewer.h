#pragma once
#include <memory>

#include "app/document/designer.h"
#include "ui/menu.h"
#include "ui/viewer/viewer.h"

class mtxIEButton;
class mtxIELabel;
class mtxIEMdf;
class mtxIEMoveTool;

// The designer's viewer: it holds the current tool (a control of its own)
// and opens the layers menu on a right-button press in its client area,
// whatever the tool.
class mtxIEDesigner::Viewer : public mtxIEViewer {
  public:
    // The layers menu, its chosen items reaching the designer: Add Layer,
    // Add Layer From File, Remove Layer (the chosen layer, never the
    // bottom one), the chosen layer (a submenu of the layers, the chosen one
    // ticked) and its opacity (a submenu of steps, the current one ticked).
    // Without a picture every item is greyed.
    class Menu : public mtxIEMenu {
      public:
        // The opacities offered, most opaque first.
        static constexpr uint8_t kOpacities[] = {255, 191, 128, 64, 0};
        Menu(mtxImageEditor* editor, mtxIEDesigner* designer);
        // Builds the items from the picture as it is now.
        void Refresh();
        mtxIEDesigner* designer;
    };

    Viewer(mtxIECtrl* parent, mtxIEDesigner* designer);
    ~Viewer() override;

    // Makes tool (a child of this viewer, or null) the current one; the
    // previous tool is destroyed.
    void SetTool(mtxIEMdf* newTool);
    int OnRButtonDown(int x, int y, uint32_t keys) override;
    // Refreshes the layers menu and shows it at (x, y), editor coordinates.
    void OpenMenu(int x, int y);
    // The same at the client area's top left, for the menu key.
    void OpenMenuFromKeyboard();
    // Also shows the hint and the demo button while there is no picture.
    void UpdateView() override;

    mtxIEDesigner* designer;
    std::unique_ptr<Menu> menu;
    mtxIEMdf* tool = nullptr;  // a child control, destroyed with the viewer
    // Move and Rotate, over the picture while chosen (a child as well); the
    // filling tool stays at work below it.
    mtxIEMoveTool* mover = nullptr;
    // While no picture is open, centred: one line of what to do, and below it
    // a button that opens the demo photo (when there is one).
    mtxIELabel* hint = nullptr;
    mtxIEButton* demoButton = nullptr;

  private:
    void PlaceHint();
};
