#include "ui/message_box.h"

#include <algorithm>

#include "ui/button.h"
#include "ui/label.h"
#include "ui/strings.h"

mtxIEMessageBox::mtxIEMessageBox(mtxImageEditor* host, const char* text, const char* caption)
    : mtxIEDialog(host, 1) {
    dialogFlags |= kTitleBar;
    title = caption ? caption : mtxIELoadString(318, "Warning");
    label = new mtxIELabel(this);
    label->SetText(text ? text : "");
    int labelWidth = label->Width();
    int contentWidth = std::max(labelWidth + 5, kMinContentWidth);
    int top = kTitleBarHeight + 10;
    int left = kBorder + (contentWidth - labelWidth) / 2;
    label->rect = {left, top, left + labelWidth, top + label->Height()};
    int width = contentWidth + 2 * kBorder;
    int height = label->rect.bottom - kTitleBarHeight + 70;
    rect = {rect.left, rect.top, rect.left + width, rect.top + height};

    okButton = new mtxIEButton(this);
    int bottom = GetClientRect().bottom;
    int x = (width - 80) / 2;
    okButton->rect = {x, bottom - 30, x + 80, bottom - 5};
    okButton->SetCaption(mtxIELoadString(1, "Ok"));
    okButton->SetAction(this, 1, 0);
    okButton->Show(1);
    defaultButton = okButton;
    cancelButton = okButton;
    okButton->SetFocus();
    Center();
    Invalidate();
}

int mtxIEMessageBox::Process(uint32_t action, uint16_t) {
    if (action != 1 && action != 2) return 0;
    return Close();
}
