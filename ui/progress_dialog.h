#pragma once
#include <cstdint>
#include <string>

#include "ui/dialog.h"

class mtxIEActionProcessor;
class mtxIEButton;
class mtxIEProgressBar;

// A modal box with a title bar, the progress of some long work ("N %") and
// Cancel, which posts cancelAction to target (posted, because the action
// usually closes this box, which must not go while its button is still
// handling the click). Escape presses Cancel. 300 x 105, centred.
class mtxIEProgressDialog : public mtxIEDialog {
  public:
    static constexpr int kWidth = 300, kHeight = 105;
    mtxIEProgressDialog(mtxImageEditor* editor, const std::string& title,
                        mtxIEActionProcessor* target, uint32_t cancelAction);

    mtxIEProgressBar* bar = nullptr;
    mtxIEButton* cancel = nullptr;
};
