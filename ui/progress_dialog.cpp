#include "ui/progress_dialog.h"

#include "ui/button.h"
#include "ui/progress_bar.h"
#include "ui/strings.h"

mtxIEProgressDialog::mtxIEProgressDialog(mtxImageEditor* editor, const std::string& text,
                                         mtxIEActionProcessor* target, uint32_t cancelAction)
    : mtxIEDialog(editor, 1) {
    SetTitleBar(1);
    SetTitle(text);
    rect = {rect.left, rect.top, rect.left + kWidth, rect.top + kHeight};
    RECT client = GetClientRect();

    bar = new mtxIEProgressBar(this);
    bar->rect = {client.left + 5, client.top + 10, client.right - 5, client.top + 35};
    bar->SetValue(0);
    bar->Show(1);

    cancel = new mtxIEButton(this);
    int x = (kWidth - 80) / 2;
    cancel->rect = {x, client.bottom - 30, x + 80, client.bottom - 5};
    cancel->SetCaption(mtxIELoadString(2, "Cancel"));
    cancel->SetAction(target, cancelAction, 0);
    cancel->Show(1);
    cancelButton = cancel;
    cancel->SetFocus();
    Center();
    Invalidate();
}
