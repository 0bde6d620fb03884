#pragma once
#include <string>
#include <vector>

#include "ui/action_processor.h"
#include "ui/dialog.h"

class mtxIEButton;

// "About Daubry": what the program does, a line per sentence, and an OK
// button. Modal, owned by the editor's dialog stack.
class mtxIEAboutDlg : public mtxIEDialog, public mtxIEActionProcessor {
  public:
    explicit mtxIEAboutDlg(mtxImageEditor* editor);
    // OK, Enter and Escape close it.
    int Process(uint32_t action, uint16_t value) override;

    static std::vector<std::string> Lines();
    mtxIEButton* okButton = nullptr;
};
