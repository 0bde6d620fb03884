#pragma once
#include "ui/action_processor.h"
#include "ui/dialog.h"

// A modal dialog with a title bar and OK (action 1) and Cancel (action 2)
// buttons that post to the dialog itself. Concrete dialogs set their size,
// call CreateButtons and handle the actions in OnAction.
class mtxIEDlgOkCancel : public mtxIEDialog, public mtxIEActionProcessor {
  public:
    enum Action : uint32_t { kOk = 1, kCancel = 2 };

    explicit mtxIEDlgOkCancel(mtxImageEditor* editor);
    // Two 80 x 25 buttons centred at the bottom of the client area.
    void CreateButtons() override;
    // Drops every action once the dialog is closed (a second OK posted before
    // the first was handled), then calls OnAction.
    int Process(uint32_t action, uint16_t value) override;
    // The base closes the dialog on OK and on Cancel.
    virtual int OnAction(uint32_t action, uint16_t value);

    mtxIEButton* okButton = nullptr;
    mtxIEButton* cancel = nullptr;
};
