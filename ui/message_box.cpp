#include "ui/message_box.h"

#include <algorithm>

#include "ui/button.h"
#include "ui/image_editor.h"
#include "ui/label.h"
#include "ui/strings.h"

using namespace mtxOs;

mtxIEMessageBox::mtxIEMessageBox(mtxImageEditor* host, const char* text, const char* caption,
                                 Buttons kind, std::shared_ptr<Outcome> outcome)
    : mtxIEDialog(host, 1), buttons(kind), outcome_(std::move(outcome)) {
    dialogFlags |= kTitleBar;
    title = caption ? caption : mtxIELoadString(318, "Warning");
    std::string all = text ? text : "";
    int labelWidth = 0;
    for (size_t start = 0;;) {
        size_t end = all.find('\n', start);
        auto* line = new mtxIELabel(this);
        line->SetText(all.substr(start, end == std::string::npos ? end : end - start));
        labelWidth = std::max(labelWidth, line->Width());
        lines.push_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    label = lines.front();
    int buttonCount = kind == kYesNoCancel ? 3 : 1;
    int buttonsWidth = buttonCount * kButtonWidth + (buttonCount - 1) * kButtonGap;
    int contentWidth = std::max({labelWidth + 5, kMinContentWidth, buttonsWidth + 10});
    // One line is centred; several stand as a block, each from its left.
    int top = kTitleBarHeight + 10;
    int left = kBorder + (contentWidth - labelWidth) / 2;
    for (mtxIELabel* line : lines) {
        int lineLeft = lines.size() == 1 ? kBorder + (contentWidth - line->Width()) / 2 : left;
        line->rect = {lineLeft, top, lineLeft + line->Width(), top + line->Height()};
        top = line->rect.bottom + 2;
    }
    int width = contentWidth + 2 * kBorder;
    int height = lines.back()->rect.bottom - kTitleBarHeight + 70;
    rect = {rect.left, rect.top, rect.left + width, rect.top + height};

    // The buttons side by side, centred along the bottom.
    int bottom = GetClientRect().bottom;
    int x = (width - buttonsWidth) / 2;
    auto addButton = [&](uint32_t action, uint32_t string, const char* fallback) {
        auto* button = new mtxIEButton(this);
        button->rect = {x, bottom - 30, x + kButtonWidth, bottom - 5};
        button->SetCaption(mtxIELoadString(string, fallback));
        button->SetAction(this, action, 0);
        button->Show(1);
        x += kButtonWidth + kButtonGap;
        return button;
    };
    if (kind == kYesNoCancel) {
        okButton = addButton(kYes, 730, "Yes");
        noButton = addButton(kNo, 731, "No");
        cancelAnswer = addButton(kCancel, 2, "Cancel");
    } else {
        okButton = addButton(kYes, 1, "Ok");
        cancelAnswer = okButton;
    }
    defaultButton = okButton;
    cancelButton = cancelAnswer;
    okButton->SetFocus();
    Center();
    Invalidate();
}

std::string mtxIEMessageBox::Text() const {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i]->text;
    return text;
}

mtxIEMessageBox::~mtxIEMessageBox() {
    if (outcome_) outcome_->done = true;  // Cancel unless answered
}

void mtxIEMessageBox::Answer(uint32_t answer) {
    if (IsClosed()) return;
    if (outcome_) {
        outcome_->answer = answer;
        outcome_->done = true;
    }
    Close();
}

int mtxIEMessageBox::Process(uint32_t action, uint16_t) {
    if (action == kNo && buttons != kYesNoCancel) return 0;
    if (action != kYes && action != kCancel && action != kNo) return 0;
    Answer(buttons == kYesNoCancel ? action : kYes);
    return 1;
}

void mtxIEMessageBox::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) {
    if (buttons == kYesNoCancel && (key == 'Y' || key == 'N')) {
        Answer(key == 'Y' ? kYes : kNo);
        return;
    }
    mtxIEDialog::OnKeyDown(key, repeat, keyFlags);
}

uint32_t mtxIEMessageBox::Ask(mtxImageEditor* editor, const char* text, const char* title,
                              HWND owner, const std::function<void(mtxIEMessageBox&)>& onShown) {
    if (!editor) return kCancel;
    auto outcome = std::make_shared<Outcome>();
    auto* box = new mtxIEMessageBox(editor, text, title, kYesNoCancel, outcome);
    editor->Paint();
    if (onShown) onShown(*box);
    MSG msg;
    while (!outcome->done) {
        if (!GetMessage(msg)) {
            // The program is ending: the outer loop must see the quit too.
            PostQuitMessage(int(msg.wParam));
            if (editor->TopModal() == box) box->Close();
            return kCancel;
        }
        // The owner's menu stays out of it while the question is open.
        if (owner && msg.hwnd == owner && msg.message == WM_COMMAND) continue;
        TranslateMessage(msg);
        DispatchMessage(msg);
    }
    return outcome->answer;
}
