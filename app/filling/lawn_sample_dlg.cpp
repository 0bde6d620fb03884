#include "app/filling/lawn_sample_dlg.h"

#include "app/filling/lawn_sample_picker.h"
#include "base/file_dialog.h"
#include "fill/sample_collection.h"
#include "ui/button.h"
#include "ui/image_editor.h"
#include "ui/strings.h"

namespace {

constexpr int kClientWidth = 320, kClientHeight = 330;
constexpr int kButtonWidth = 70, kButtonHeight = 25, kButtonGap = 8;

}  // namespace

mtxIELawnSampleDlg::mtxIELawnSampleDlg(mtxImageEditor* host, SampleCollection& samples)
    : mtxIEDialog(host, 1), samples_(samples) {
    dialogFlags |= kTitleBar;
    title = mtxIELoadString(303, "Sample List");
    SetClientSize(kClientWidth, kClientHeight);
    RECT client = GetClientRect();
    int buttonsTop = client.bottom - kButtonHeight - 5;

    picker = new mtxIELawnSamplePicker(this, samples);
    picker->rect = {client.left + 5, client.top + 5, client.right - 5, buttonsTop - 8};
    picker->LayoutChildren();
    picker->onChanged = [this] { UpdateReplaceCaption(); };
    picker->Show(1);

    int row = 4 * kButtonWidth + 3 * kButtonGap;
    int left = client.left + (client.right - client.left - row) / 2;
    auto make = [&](uint32_t code, uint32_t text, const char* fallback) {
        auto* button = new mtxIEButton(this);
        button->rect = {left, buttonsTop, left + kButtonWidth, buttonsTop + kButtonHeight};
        button->SetCaption(mtxIELoadString(text, fallback));
        button->SetAction(this, code, 0);
        button->tabStop = 1;
        button->Show(1);
        left += kButtonWidth + kButtonGap;
        return button;
    };
    okButton = make(kOk, 1, "Ok");
    addButton = make(kAdd, 200, "Add");
    replaceButton = make(kReplace, 304, "Load");
    saveButton = make(kSave, 305, "Save");
    defaultButton = okButton;
    cancelButton = okButton;
    UpdateReplaceCaption();
    Center();
    picker->combo->SetFocus();
    Invalidate();
}

void mtxIELawnSampleDlg::SetCloseAction(mtxIEActionProcessor* target, uint32_t action) {
    closeTarget_ = target;
    closeAction_ = action;
}

void mtxIELawnSampleDlg::UpdateReplaceCaption() {
    showsChange = samples_.count > 0;
    replaceButton->SetCaption(showsChange ? mtxIELoadString(316, "Change")
                                          : mtxIELoadString(304, "Load"));
}

int mtxIELawnSampleDlg::SaveToFile() {
    if (samples_.count < 1) return 0;
    mtxFileDialog dialog(nullptr, true, {{"sample collection(*.msc)", "*.msc"}}, "msc", "");
    dialog.SetInitialDirectory(picker->viewer->folder);
    if (!dialog.Show()) return 0;
    int saved = 0;
    picker->Reported([&] { saved = samples_.SaveCollection(dialog.Path()); });
    return saved;
}

int mtxIELawnSampleDlg::AddFiles(const std::vector<std::string>& paths) {
    int added = picker->AddFiles(paths);
    UpdateReplaceCaption();
    return added;
}

int mtxIELawnSampleDlg::Process(uint32_t action, uint16_t) {
    if (IsClosed()) return 0;
    switch (action) {
        case kOk:
            // Posted first: closing may delete the dialog at once.
            if (closeTarget_ && editor) editor->PostCommand(closeTarget_, closeAction_, 0);
            Close();
            return 1;
        case kAdd:
            picker->AddFromFile();
            break;
        case kReplace:
            picker->ReplaceFromFile();
            break;
        case kSave:
            SaveToFile();
            break;
        default:
            return 0;
    }
    UpdateReplaceCaption();
    return 1;
}
