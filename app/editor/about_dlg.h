#pragma once
#include <string>
#include <vector>

#include "ui/action_processor.h"
#include "ui/dialog.h"

class mtxIEButton;
class mtxIEFlowerField;

// "About Daubry": a field of flowers swaying in the wind over what the
// program does, and an OK button. Modal, owned by the editor's dialog stack;
// the field moves only while the dialog is open.
class mtxIEAboutDlg : public mtxIEDialog, public mtxIEActionProcessor {
  public:
    static constexpr int kFieldWidth = 420, kFieldHeight = 190;

    explicit mtxIEAboutDlg(mtxImageEditor* editor);
    // OK, Enter and Escape close it.
    int Process(uint32_t action, uint16_t value) override;

    // The program's name, then string entries 315 and 325.
    static std::vector<std::string> Lines();
    mtxIEButton* okButton = nullptr;
    mtxIEFlowerField* field = nullptr;
};
