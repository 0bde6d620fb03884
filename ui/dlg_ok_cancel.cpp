#include "ui/dlg_ok_cancel.h"

#include "ui/button.h"
#include "ui/strings.h"

mtxIEDlgOkCancel::mtxIEDlgOkCancel(mtxImageEditor* host) : mtxIEDialog(host, 1) {
    dialogFlags |= kTitleBar;
}

void mtxIEDlgOkCancel::CreateButtons() {
    RECT client = GetClientRect();
    int top = client.bottom - 30;
    int left = client.left + (client.right - client.left - 170) / 2;
    auto make = [&](int x, uint32_t code, const std::string& text) {
        auto* button = new mtxIEButton(this);
        button->rect = {x, top, x + 80, top + 25};
        button->SetCaption(text);
        button->SetAction(this, code, 0);
        button->Show(1);
        return button;
    };
    okButton = make(left, kOk, mtxIELoadString(1, "Ok"));
    cancel = make(left + 90, kCancel, mtxIELoadString(2, "Cancel"));
    defaultButton = okButton;
    cancelButton = cancel;
}

int mtxIEDlgOkCancel::Process(uint32_t action, uint16_t value) {
    if (IsClosed()) return 0;
    return OnAction(action, value);
}

int mtxIEDlgOkCancel::OnAction(uint32_t action, uint16_t) {
    if (action != kOk && action != kCancel) return 0;
    Close();
    return 1;
}
