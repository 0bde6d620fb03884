#include "ui/radio_button.h"

#include "platform/window.h"
#include "ui/flat_look.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"
#include "ui/skin_look.h"

using namespace mtxOs;

mtxIERadioButton::mtxIERadioButton(mtxIECtrl* parent) : mtxIEButton(parent) {
    rect = {0, 0, 14, (profile ? profile->lineHeight : 16) + 2};
    textAlign = kAlignLeft;
}

void mtxIERadioButton::Click() {
    if (!IsPressed()) SetPressedBit(true);
    Notify(1);
}

int mtxIERadioButton::OnLButtonDown(int, int, uint32_t) {
    if (!HasFocus()) SetFocus();
    Click();
    return 1;
}

void mtxIERadioButton::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    int top = y + (Height() - 12) / 2;
    RECT box = {x + 1, top, x + 13, top + 12};
    bool shaded = mtxIESkinLook::RadioFace(editor, {x, top, x + 13, top + 13}, IsPressed());
    if (profile && !shaded) {
        // A diamond reads as round at this size and needs only the fan fill.
        POINT outer[4] = {{box.left + 6, box.top},
                          {box.right, box.top + 6},
                          {box.left + 6, box.bottom},
                          {box.left, box.top + 6}};
        mtxIEPrimitives::FillPolygon(device, outer, 4, profile->shadowColor);
        POINT inner[4] = {{box.left + 6, box.top + 1},
                          {box.right - 1, box.top + 6},
                          {box.left + 6, box.bottom - 1},
                          {box.left + 1, box.top + 6}};
        mtxIEPrimitives::FillPolygon(device, inner, 4, 0xFFFFFFFF);
        if (IsPressed()) {
            POINT dot[4] = {{box.left + 6, box.top + 3},
                            {box.right - 3, box.top + 6},
                            {box.left + 6, box.bottom - 3},
                            {box.left + 3, box.top + 6}};
            mtxIEPrimitives::FillPolygon(device, dot, 4, profile->textColor);
        }
    }
    if (profile && HasFocus())
        mtxIEPrimitives::FrameRect(device, {x, y, x + Width(), y + Height()},
                                   profile->selectionColor);
    if (!caption.empty()) DrawText(x + 18, y, caption, color);
    (void)clip;
}

mtxIERadioGroup::mtxIERadioGroup(mtxIECtrl* parent) : mtxIECtrl(parent) {
    flags |= kVisible;
}

mtxIERadioButton* mtxIERadioGroup::AddButton(const std::string& text) {
    auto* button = new mtxIERadioButton(this);
    int top = buttons.empty() ? 0 : buttons.back()->rect.bottom + 2;
    button->rect = {0, top, Width(), top + button->Height()};
    button->caption = text;
    buttons.push_back(button);
    button->SetAction(this, uint32_t(buttons.size()), 1);
    button->Show(1);
    return button;
}

void mtxIERadioGroup::Select(int position, bool notify) {
    if (position < 0 || position > int(buttons.size())) return;
    selected = position;
    for (size_t i = 0; i < buttons.size(); ++i) buttons[i]->SetPressed(int(i) + 1 == position);
    if (notify && target && action && editor) {
        if (sync)
            editor->SendCommand(target, action, uint16_t(position));
        else
            editor->PostCommand(target, action, uint16_t(position));
    }
}

int mtxIERadioGroup::Process(uint32_t code, uint16_t) {
    if (code == 0 || code > buttons.size()) return 0;
    Select(int(code), int(code) != selected);
    return 1;
}

void mtxIERadioGroup::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) {
    int n = int(buttons.size());
    int step = (key == VK_UP || key == VK_LEFT) ? -1 : (key == VK_DOWN || key == VK_RIGHT) ? 1 : 0;
    if (!step || n == 0) return mtxIECtrl::OnKeyDown(key, repeat, keyFlags);
    int next = selected == 0 ? 1 : ((selected - 1 + step + n) % n) + 1;
    Select(next, true);
    buttons[size_t(next - 1)]->SetFocus();
}
