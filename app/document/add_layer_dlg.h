#pragma once
#include <cstdint>

#include "app/document/designer.h"
#include "ui/dlg_ok_cancel.h"

class mtxIEButton;
class mtxIECheckBox;
class mtxIESpin;

// "Add Layer": the width and height of a new layer (0..10000, the picture's
// size at first) and what it holds: transparent pixels at first, or a colour
// chosen with the Color button (which clears Transparent). OK adds the layer
// to the designer's picture when both sides are nonzero; OK and Cancel close
// the dialog.
class mtxIEDesigner::DlgAddLayer : public mtxIEDlgOkCancel {
  public:
    enum : uint32_t { kChooseColor = 10, kTransparent = 11 };
    static constexpr int kWidth = 250, kHeight = 235;

    DlgAddLayer(mtxImageEditor* editor, mtxIEDesigner* designer);
    int OnAction(uint32_t action, uint16_t value) override;
    void Draw(int x, int y, const RECT& clip) override;

    mtxIEDesigner* designer;
    mtxIESpin* widthSpin = nullptr;
    mtxIESpin* heightSpin = nullptr;
    mtxIEButton* colorButton = nullptr;
    mtxIECheckBox* transparent = nullptr;
    uint32_t color = 0xFFFFFFFF;  // the layer's colour when not transparent
};
