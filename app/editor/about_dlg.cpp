#include "app/editor/about_dlg.h"

#include <algorithm>

#include "app/editor/flower_field.h"
#include "ui/button.h"
#include "ui/label.h"
#include "ui/strings.h"

std::vector<std::string> mtxIEAboutDlg::Lines() {
    return {"Daubry",
            mtxIELoadString(315,
                            "Daubry builds your photographs anew from flowers, leaves and stones."),
            mtxIELoadString(325, "Made with care for everyone who loves pictures.")};
}

mtxIEAboutDlg::mtxIEAboutDlg(mtxImageEditor* host) : mtxIEDialog(host, 1) {
    dialogFlags |= kTitleBar;
    title = "About Daubry";
    std::vector<mtxIELabel*> labels;
    int widest = kFieldWidth;
    for (const std::string& line : Lines()) {
        auto* label = new mtxIELabel(this);
        label->SetText(line);
        label->Show(1);
        widest = std::max(widest, label->Width() + 20);
        labels.push_back(label);
    }
    const int width = widest + 2 * (kBorder + 5);
    field = new mtxIEFlowerField(this);
    int left = (width - kFieldWidth) / 2, top = kTitleBarHeight + 6;
    field->rect = {left, top, left + kFieldWidth, top + kFieldHeight};
    field->Show(1);
    top = field->rect.bottom + 10;
    for (mtxIELabel* label : labels) {
        int x = (width - label->Width()) / 2;
        label->rect = {x, top, x + label->Width(), top + label->Height()};
        top = label->rect.bottom + 4;
    }
    // The children lie in the dialog's own coordinates; its rectangle is the editor's.
    rect = {rect.left, rect.top, rect.left + width, rect.top + top + 45};
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
    field->Start();
}

int mtxIEAboutDlg::Process(uint32_t action, uint16_t) {
    if (action != 1 && action != 2) return 0;
    if (field) field->Stop();  // no frame more while the dialog goes
    return Close();
}
