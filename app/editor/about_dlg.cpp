#include "app/editor/about_dlg.h"

#include <algorithm>

#include "ui/button.h"
#include "ui/label.h"
#include "ui/strings.h"

std::vector<std::string> mtxIEAboutDlg::Lines() {
    return {"Daubry", "turns a photograph into a picture assembled",
            "from small sample pictures: open a photo,",
            "choose samples in Options, Samples, and press Go."};
}

mtxIEAboutDlg::mtxIEAboutDlg(mtxImageEditor* host) : mtxIEDialog(host, 1) {
    dialogFlags |= kTitleBar;
    title = "About Daubry";
    int top = kTitleBarHeight + 12, widest = 0;
    std::vector<mtxIELabel*> labels;
    for (const std::string& line : Lines()) {
        auto* label = new mtxIELabel(this);
        label->SetText(line);
        label->Show(1);
        widest = std::max(widest, label->Width());
        labels.push_back(label);
    }
    int width = std::max(widest + 40, 200) + 2 * kBorder;
    for (mtxIELabel* label : labels) {
        int left = (width - label->Width()) / 2;
        label->rect = {left, top, left + label->Width(), top + label->Height()};
        top = label->rect.bottom + 4;
    }
    // The labels lie in the dialog's own coordinates; its rectangle is the editor's.
    rect = {rect.left, rect.top, rect.left + width, rect.top + top + 50};
    okButton = new mtxIEButton(this);
    int bottom = GetClientRect().bottom;
    okButton->rect = {(width - 80) / 2, bottom - 30, (width + 80) / 2, bottom - 5};
    okButton->SetCaption(mtxIELoadString(1, "Ok"));
    okButton->SetAction(this, 1, 0);
    okButton->Show(1);
    defaultButton = okButton;
    cancelButton = okButton;
    okButton->SetFocus();
    Center();
    Invalidate();
}

int mtxIEAboutDlg::Process(uint32_t action, uint16_t) {
    if (action != 1 && action != 2) return 0;
    return Close();
}
