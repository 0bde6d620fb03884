#pragma once
#include <cstdint>

#include "app/document/designer.h"
#include "ui/dlg_ok_cancel.h"

class mtxIEButton;
class mtxIESpin;

// "Add Layer": the width and height of a new layer (0..10000, the picture's
// size at first) and its colour. OK adds the layer to the designer's picture
// when both sides are nonzero; OK and Cancel close the dialog.
class mtxIEDesigner::DlgAddLayer : public mtxIEDlgOkCancel {
  public:
    enum : uint32_t { kChooseColor = 10 };
    static constexpr int kWidth = 250, kHeight = 205;

    DlgAddLayer(mtxImageEditor* editor, mtxIEDesigner* designer);
    int OnAction(uint32_t action, uint16_t value) override;
    void Draw(int x, int y, const RECT& clip) override;

    mtxIEDesigner* designer;
    mtxIESpin* widthSpin = nullptr;
    mtxIESpin* heightSpin = nullptr;
    mtxIEButton* colorButton = nullptr;
    uint32_t color = 0xFFFFFFFF;
};
