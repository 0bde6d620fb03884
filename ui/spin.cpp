#include "ui/spin.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "platform/window.h"
#include "ui/button.h"
#include "ui/edit.h"
#include "ui/flat_look.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"
#include "ui/slider.h"
#include "ui/spin_button.h"

using namespace mtxOs;

namespace {

// The drop button: an arrow that notifies on press.
class DropButton : public mtxIEButton {
  public:
    explicit DropButton(mtxIECtrl* parent) : mtxIEButton(parent) {
        style |= kNotifyOnPress;
        tabStop = 0;
    }
    void Draw(int x, int y, const RECT& clip) override {
        mtxIEButton::Draw(x, y, clip);
        if (editor && profile)
            mtxIEPrimitives::ArrowGlyph(editor->GetDevice(), {x, y, x + Width(), y + Height()},
                                        mtxIEPrimitives::kArrowDown, profile->arrowColor);
    }
};

// The pop-up slider hides itself once a drag ends, and when the focus goes
// elsewhere than its spin.
class PopupSlider : public mtxIESlider {
  public:
    using mtxIESlider::mtxIESlider;
    // The editor deletes the listed controls it still holds when it goes
    // first; the spin must then not delete the slider again.
    ~PopupSlider() override {
        if (onDestroy) onDestroy();
    }
    std::function<void()> onRelease, onDestroy, onFocusLost;
    int OnLButtonUp(int x, int y, uint32_t keys) override {
        mtxIESlider::OnLButtonUp(x, y, keys);
        if (onRelease) onRelease();
        return 1;
    }
    void OnKillFocus() override {
        mtxIESlider::OnKillFocus();
        if (onFocusLost) onFocusLost();
    }
    // Over other controls: a framed face of its own lies under the track.
    void Draw(int x, int y, const RECT& clip) override {
        if (profile && editor) {
            RECT r = {x, y, x + Width(), y + Height()};
            mtxIEFlatLook::Face(editor->GetDevice(), *profile, r, false, false);
            mtxIEPrimitives::FrameRect(editor->GetDevice(), r, profile->frameColor);
        }
        mtxIESlider::Draw(x, y, clip);
    }
};

}  // namespace

mtxIESpin::mtxIESpin(mtxIECtrl* parent) : mtxIEActiveCtrl(parent) {
    rect = {0, 0, 100, (profile ? profile->lineHeight : 16) + 4};
    flags |= kVisible;
    edit = new mtxIEEdit(this);
    edit->mode = mtxIEEdit::kDigits;
    edit->SetAction(this, kEdit, 1);
    edit->Show(1);
    spinButton = new mtxIESpinButton(this);
    spinButton->SetAction(this, kSpinButton, 1);
    spinButton->Show(1);
    dropButton = new DropButton(this);
    dropButton->SetAction(this, kDropButton, 1);
    dropButton->Show(1);
    if (editor) {
        auto* popup = new PopupSlider(editor);
        popup->onRelease = [this] { ShowSlider(false); };
        popup->onDestroy = [this] { slider = nullptr; };
        popup->onFocusLost = [this] {
            if (!FocusWithin()) ShowSlider(false);
        };
        slider = popup;
        slider->SetAction(this, kSlider, 1);
    }
    LayoutChildren();
    WriteText();
}

mtxIESpin::~mtxIESpin() {
    if (!slider) return;
    static_cast<PopupSlider*>(slider)->onDestroy = nullptr;
    static_cast<PopupSlider*>(slider)->onFocusLost = nullptr;
    if (editor) editor->RemoveControl(slider);
    delete slider;
}

void mtxIESpin::LayoutChildren() {
    int w = Width(), h = Height();
    int editRight = std::max(0, w - 2 * kButtonWidth);
    if (edit) edit->SetRect({0, 0, editRight, h});
    if (spinButton) spinButton->SetRect({editRight, 0, editRight + kButtonWidth, h});
    if (dropButton) dropButton->SetRect({editRight + kButtonWidth, 0, w, h});
}

void mtxIESpin::SetRange(int lo, int hi) {
    minimum = lo;
    maximum = std::max(lo, hi);
    if (edit) {
        if (minimum < 0)
            edit->mode |= mtxIEEdit::kMinus;
        else
            edit->mode &= ~mtxIEEdit::kMinus;
    }
    if (slider) slider->SetRange(minimum, maximum);
    value = std::clamp(value, minimum, maximum);
    WriteText();
}

void mtxIESpin::WriteText() {
    if (edit) edit->SetText(std::to_string(value));
    if (slider) slider->SetValue(value);
}

int mtxIESpin::SetValue(int v, bool notify) {
    v = std::clamp(v, minimum, maximum);
    bool changed = v != value;
    value = v;
    WriteText();
    if (changed && notify) Notify(uint16_t(value));
    return changed ? 1 : 0;
}

bool mtxIESpin::SliderShown() const {
    return slider && slider->IsVisible();
}

bool mtxIESpin::FocusWithin() const {
    mtxIECtrl* focus = editor ? editor->focus : nullptr;
    return focus && (focus == slider || Contains(focus));
}

void mtxIESpin::ShowSlider(bool on) {
    if (!slider || !editor) return;
    if (!on) {
        editor->RemoveControl(slider);
        slider->Show(0);
        return;
    }
    RECT field = EditorRect();
    slider->rect = editor->FitRect({field.left, field.bottom, field.left + 120, field.bottom + 22});
    slider->SetValue(value);
    editor->AddControl(slider);
    slider->Show(1);
    slider->Invalidate();
}

int mtxIESpin::Process(uint32_t part, uint16_t v) {
    switch (part) {
        case kSpinButton:
            SetValue(value + (v == mtxIESpinButton::kUp ? step : -step), true);
            return 1;
        case kEdit: {
            // What is typed counts as it is typed; a number above the range is
            // cut at once, one below waits for more digits.
            std::string text = edit->Text();
            int typed = text.empty() || text == "-" ? 0 : std::atoi(text.c_str());
            int clamped = std::clamp(typed, minimum, maximum);
            bool changed = clamped != value;
            value = clamped;
            if (typed > maximum) edit->SetText(std::to_string(value));
            if (slider) slider->SetValue(value);
            if (changed) Notify(uint16_t(value));
            return 1;
        }
        case kDropButton:
            ShowSlider(!SliderShown());
            return 1;
        case kSlider:
            SetValue(slider->Value(), true);
            return 1;
        default:
            return 0;
    }
}

void mtxIESpin::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) {
    int n = int(std::max<uint32_t>(repeat, 1));
    int page = std::max(step, (maximum - minimum) / 10);
    switch (key) {
        case VK_UP:
            SetValue(value + step * n, true);
            return;
        case VK_DOWN:
            SetValue(value - step * n, true);
            return;
        case VK_PRIOR:
            SetValue(value + page, true);
            return;
        case VK_NEXT:
            SetValue(value - page, true);
            return;
        case VK_ESCAPE:
            if (SliderShown()) {
                ShowSlider(false);
                return;
            }
            break;
        default:
            break;
    }
    mtxIEActiveCtrl::OnKeyDown(key, repeat, keyFlags);
}

int mtxIESpin::OnDescendantFocusLost() {
    // The field shows the value again once the user leaves it; the slider
    // goes once the user turns to another control.
    if (edit && editor && editor->focus != edit) WriteText();
    if (SliderShown() && !FocusWithin()) ShowSlider(false);
    return 0;
}
