#include "ui/button.h"

#include "base/application.h"
#include "platform/window.h"
#include "ui/flat_look.h"
#include "ui/font.h"
#include "ui/image_editor.h"
#include "ui/skin_look.h"

using namespace mtxOs;

mtxIEButton::mtxIEButton(mtxIECtrl* parent) : mtxIEActiveCtrl(parent) {
    rect = {0, 0, kDefaultSize, kDefaultSize};
    textAlign = kAlignCenter;
    tabStop = 1;
}

mtxIEButton::~mtxIEButton() {
    StopRepeat();
}

void mtxIEButton::SetCaption(const std::string& text) {
    caption = text;
    if ((style & kAutoWidth) && profile && profile->font) {
        int width = profile->font->Width(text) + 12;
        if (width > Width()) rect.right = rect.left + width;
    }
    Invalidate();
}

void mtxIEButton::SetPressedBit(bool on) {
    if (IsPressed() == on) return;
    if (on)
        style |= kPressed;
    else
        style &= ~kPressed;
    pressed = on ? 1 : 0;
    Invalidate();
}

void mtxIEButton::SetPressed(int on) {
    SetPressedBit(on != 0);
}

void mtxIEButton::Click() {
    if (style & kToggle) {
        SetPressedBit(!IsPressed());
        Notify(0);
        return;
    }
    if (style & kStaysPressed) {
        if (IsPressed()) return;
        SetPressedBit(true);
        Notify(0);
        return;
    }
    Notify(0);
}

int mtxIEButton::OnLButtonDown(int, int, uint32_t) {
    if (!HasFocus()) SetFocus();
    if (editor) editor->SetCapture(this);
    tracking_ = true;
    style |= kHot;
    if (style & kToggle) {
        SetPressedBit(!IsPressed());
        Notify(0);
        Invalidate();
        return 1;
    }
    if (IsPressed()) return 1;
    SetPressedBit(true);
    // A repeating button notifies at once too: the first step comes with the press.
    if (style & (kStaysPressed | kNotifyOnPress | kAutoRepeat)) Notify(0);
    if (style & kAutoRepeat) StartRepeat();
    return 1;
}

int mtxIEButton::OnMouseMove(int x, int y, uint32_t keys) {
    if (!tracking_) return mtxIEActiveCtrl::OnMouseMove(x, y, keys);
    bool over = HitTest(x, y);
    bool changed = over != bool(style & kHot);
    if (over)
        style |= kHot;
    else
        style &= ~kHot;
    // The pressed look follows the pointer of a button that pops up again.
    if (!(style & (kStaysPressed | kToggle))) SetPressedBit(over);
    if (changed) Invalidate();
    return 1;
}

int mtxIEButton::OnLButtonUp(int x, int y, uint32_t) {
    bool over = HitTest(x, y);
    bool wasTracking = tracking_;
    tracking_ = false;
    if (wasTracking && IsPressed() && !(style & (kStaysPressed | kToggle))) {
        SetPressedBit(false);
        if (over && !(style & (kNotifyOnPress | kAutoRepeat))) Notify(0);
    }
    StopRepeat();
    style &= ~kHot;
    if (editor) editor->ReleaseCapture(this);
    Invalidate();
    return 1;
}

void mtxIEButton::OnCaptureLost() {
    tracking_ = false;
    style &= ~kHot;
    if (IsPressed() && !(style & (kStaysPressed | kToggle))) SetPressedBit(false);
    StopRepeat();
    Invalidate();
}

void mtxIEButton::StartRepeat() {
    StopRepeat();
    mtxApplication* app = mtxGetApp();
    timerId = app ? app->ids.Take() : 0;
    elapsed = 0;
    if (timerId && editor && editor->Handle())
        mtxOs::SetTimer(editor->Handle(), timerId, repeatInterval);
}

void mtxIEButton::StopRepeat() {
    if (!timerId) return;
    if (editor && editor->Handle()) mtxOs::KillTimer(editor->Handle(), timerId);
    if (mtxApplication* app = mtxGetApp()) app->ids.Give(uint16_t(timerId));
    timerId = 0;
}

void mtxIEButton::OnTimer(uintptr_t id) {
    if (timerId && id == timerId) {
        if (!IsPressed()) {
            StopRepeat();
            return;
        }
        elapsed += repeatInterval;
        if (elapsed >= repeatDelay) Notify(0);
        return;
    }
    mtxIEActiveCtrl::OnTimer(id);
}

void mtxIEButton::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) {
    if (key == VK_SPACE || key == VK_RETURN) {
        Click();
        return;
    }
    mtxIEActiveCtrl::OnKeyDown(key, repeat, keyFlags);
}

void mtxIEButton::Invalidate() {
    InvalidateRect({-1, -1, Width(), Height()});
}

void mtxIEButton::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    RECT r = {x, y, x + Width(), y + Height()};
    int shift = IsPressed() ? 1 : 0;
    if (profile) {
        mtxIESkinLook::Face face;
        face.rect = r;
        face.pressed = IsPressed();
        face.hot = style & kHot;
        face.corner = cornerSize;
        // A pressed tool (an icon button that stays down) shows the accent.
        if (icon >= 0 && IsPressed())
            face.tint = mtxIEFlatLook::Mix(0xFFFFFFFF, profile->selectionColor, 80);
        mtxIESkinLook::ButtonFace(editor, *profile, face);
        if (HasFocus()) mtxIEFlatLook::FocusRing(device, *profile, r);
        if (icon >= 0) profile->DrawToolIcon(device, icon, mtxOffset(r, shift, shift));
    }
    if (!caption.empty()) DrawText(x + shift, y + shift, caption, color);
    mtxIEActiveCtrl::Draw(x, y, clip);
}
