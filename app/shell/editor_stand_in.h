#pragma once
#include <string>

#include "ui/active_ctrl.h"
#include "ui/image_editor.h"

class mtxIEToolBar;

// FIXME: stands in for mtxImageEditorVD, the concrete editor (its look, the
// instrument bar, the document controller and its viewer). Until it exists
// this editor shows a main tool bar and a hint through the device, so the
// main window, its menu and the frame loop run as they will. Replace it,
// keeping Create, SetUp and GetDesigner as the main window calls them.
class mtxEditorStandIn : public mtxImageEditor {
  public:
    // A tool bar button: a face with a label that stays pressed when chosen.
    class Button : public mtxIEActiveCtrl {
      public:
        Button(mtxIECtrl* parent, const std::string& label, mtxIEActionProcessor* target,
               uint32_t code);
        void Draw(int x, int y, const RECT& clip) override;
        int OnLButtonDown(int x, int y, uint32_t keys) override;
        std::string label;
    };

    // The content is built when the window is created.
    void SetUp() {}
    // The document controller; none until the editor exists.
    void* GetDesigner() const { return nullptr; }

    void CreateContent() override;
    // Tool codes 1 to 4 press their button.
    int Process(uint32_t action, uint16_t value) override;

    mtxIEToolBar* toolBar = nullptr;
};
