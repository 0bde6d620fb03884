#pragma once
#include "ui/action_processor.h"
#include "ui/dialog.h"

class mtxIELabel;

// The program's message box: a title ("Warning" when none is given), one
// line of text and an OK button. It is modal and owned by the editor's
// stack: the creator does not keep it. At least 160 pixels wide, wider for
// a longer text.
class mtxIEMessageBox : public mtxIEDialog, public mtxIEActionProcessor {
  public:
    static constexpr int kMinContentWidth = 150;

    // text and title may be null.
    mtxIEMessageBox(mtxImageEditor* editor, const char* text, const char* title);
    // Actions 1 and 2 close the box (once).
    int Process(uint32_t action, uint16_t value) override;

    mtxIELabel* label = nullptr;
    mtxIEButton* okButton = nullptr;
};
