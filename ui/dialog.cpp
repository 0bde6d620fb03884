#include "ui/dialog.h"

#include "platform/window.h"
#include "ui/button.h"
#include "ui/flat_look.h"
#include "ui/font.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"
#include "ui/skin_look.h"

using namespace mtxOs;

namespace {

void CollectTabStops(mtxIECtrl* control, std::vector<mtxIEActiveCtrl*>& out) {
    for (mtxIECtrl* child : control->children) {
        if (!child->IsVisible()) continue;
        auto* active = dynamic_cast<mtxIEActiveCtrl*>(child);
        if (active && active->tabStop) out.push_back(active);
        CollectTabStops(child, out);
    }
}

bool ShiftDown() {
    return mtxOs::GetKeyState(VK_SHIFT) < 0;
}

}  // namespace

mtxIEDialog::mtxIEDialog(mtxImageEditor* host, int modal) : mtxIEActiveCtrl(host) {
    rect = {0, 0, kDefaultWidth, kDefaultHeight};
    if (modal && editor) {
        editor->PushModal(this);
        SetFocus();
        Show(1);
    }
    Center();
}

mtxIEDialog::~mtxIEDialog() = default;

void mtxIEDialog::SetTitle(const std::string& text) {
    title = text;
    InvalidateRect({0, 0, Width(), kTitleBarHeight});
}

void mtxIEDialog::SetTitleBar(int on) {
    if (on)
        dialogFlags |= kTitleBar;
    else
        dialogFlags &= ~kTitleBar;
    Invalidate();
}

void mtxIEDialog::Center() {
    if (!editor) return;
    Invalidate();
    // Fitted: a dialog larger than the editor keeps its title bar in view.
    RECT r = editor->CenterRect(Width(), Height());
    MoveTo(r.left, r.top);
    Invalidate();
}

int mtxIEDialog::Close() {
    if (closed_) return 0;
    closed_ = true;
    if (editor) {
        editor->ReleaseCapture(nullptr);
        editor->CloseModal(this, true);
    }
    return 1;
}

RECT mtxIEDialog::GetClientRect() {
    return {kBorder, TitleBarHeight(), Width() - kBorder, Height() - kBorder};
}

void mtxIEDialog::SetClientSize(int w, int h) {
    Invalidate();
    int top = (dialogFlags & kTitleBar) ? kTitleBarHeight : 0;
    rect.right = rect.left + w + 2 * kBorder;
    rect.bottom = rect.top + h + top;
    LayoutChildren();
    Invalidate();
}

void mtxIEDialog::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    RECT r = {x, y, x + Width(), y + Height()};
    if (profile) DrawFrame(device, r);
    if (profile && (dialogFlags & kTitleBar)) {
        if (profile->font)
            profile->font->DrawAligned(device, {r.left + 8, r.top, r.right - 26, r.top + 25}, title,
                                       kAlignLeft, profile->captionTextColor);
        DrawCloseBox(x, y);
    }
    DrawChildren(x, y, clip);
}

void mtxIEDialog::DrawFrame(IDirect3DDevice9* device, const RECT& r) {
    const bool titled = dialogFlags & kTitleBar;
    RECT bar = {r.left, r.top, r.right, r.top + kTitleBarHeight};
    // The shaded panel; the skin's (or the flat) frame where its shader is missing.
    if (mtxIESkinLook::DialogPanel(editor, r, titled, profile->faceColor)) {
        if (titled && !profile->DrawTitleBar(device, bar))
            mtxIEPrimitives::FillRect(device, bar, profile->captionColor);
        return;
    }
    if (profile->HasSkins()) {
        profile->DrawDialogFrame(device, r);
        if (titled) profile->DrawTitleBar(device, bar);
        return;
    }
    mtxIEFlatLook::Face(device, *profile, r, false, false);
    mtxIEPrimitives::FrameRect(device, r, profile->frameColor);
    if (titled)
        mtxIEPrimitives::FillRect(device, {r.left + 1, r.top + 1, r.right - 1, bar.bottom - 2},
                                  profile->captionColor);
}

RECT mtxIEDialog::CloseBox() const {
    if (!(dialogFlags & kTitleBar) || !cancelButton) return {};
    int size = 15, top = (kTitleBarHeight - size) / 2;
    return {Width() - 6 - size, top, Width() - 6, top + size};
}

bool mtxIEDialog::InCloseBox(int x, int y) const {
    RECT box = CloseBox();
    int lx = x - rect.left, ly = y - rect.top;
    return lx >= box.left && lx < box.right && ly >= box.top && ly < box.bottom;
}

void mtxIEDialog::DrawCloseBox(int x, int y) {
    RECT box = CloseBox();
    if (mtxIsEmpty(box) || !cancelButton->IsShown()) return;
    IDirect3DDevice9* device = editor->GetDevice();
    mtxIESkinLook::Face face;
    face.rect = mtxOffset(box, x, y);
    face.pressed = closePressed_ && closeHot_;
    face.hot = closeHot_;
    face.corner = 3.0f;
    if (!mtxIESkinLook::SysButtonFace(editor, *profile, face))
        mtxIESkinLook::ButtonFace(editor, *profile, face);
    // The cross, two antialiased strokes.
    const RECT& f = face.rect;
    float shift = face.pressed ? 1.0f : 0.0f;
    float l = float(f.left) + 4 + shift, t = float(f.top) + 4 + shift;
    float rr = float(f.right) - 5 + shift, b = float(f.bottom) - 5 + shift;
    for (float d : {0.0f, 0.5f}) {
        mtxIEPrimitives::Line(device, l + d, t, rr + d, b, profile->arrowColor);
        mtxIEPrimitives::Line(device, l + d, b, rr + d, t, profile->arrowColor);
    }
}

int mtxIEDialog::OnLButtonDown(int x, int y, uint32_t keys) {
    if (InCloseBox(x, y) && cancelButton && cancelButton->IsShown()) {
        closePressed_ = closeHot_ = true;
        if (editor) editor->SetCapture(this);
        InvalidateRect(CloseBox());
        return 1;
    }
    bool inBar = (dialogFlags & kTitleBar) && x >= rect.left && x < rect.right && y >= rect.top &&
                 y < rect.top + kTitleBarHeight;
    if (!inBar) return mtxIEActiveCtrl::OnLButtonDown(x, y, keys);
    if (!HasFocus()) SetFocus();
    pressPoint_ = {x, y};
    pressRect_ = rect;
    dragging_ = 1;
    if (editor) editor->SetCapture(this);
    return 1;
}

void mtxIEDialog::Drag(int x, int y) {
    Invalidate();
    RECT moved = mtxOffset(pressRect_, x - pressPoint_.x, y - pressPoint_.y);
    rect = editor ? editor->FitRect(moved) : moved;
    Invalidate();
}

int mtxIEDialog::OnMouseMove(int x, int y, uint32_t keys) {
    // Like a button, the close box follows the pointer while it is pressed.
    if (closePressed_) {
        bool hot = InCloseBox(x, y);
        if (hot != closeHot_) InvalidateRect(CloseBox());
        closeHot_ = hot;
        return 1;
    }
    if (!dragging_) return mtxIEActiveCtrl::OnMouseMove(x, y, keys);
    Drag(x, y);
    return 1;
}

int mtxIEDialog::OnLButtonUp(int x, int y, uint32_t keys) {
    if (closePressed_) {
        closePressed_ = closeHot_ = false;
        if (editor) editor->ReleaseCapture(this);
        InvalidateRect(CloseBox());
        // Like Escape: the dialog's own cancel decides what closing means.
        if (InCloseBox(x, y) && cancelButton && cancelButton->IsShown()) cancelButton->Click();
        return 1;
    }
    if (!dragging_) return mtxIEActiveCtrl::OnLButtonUp(x, y, keys);
    Drag(x, y);
    dragging_ = 0;
    if (editor) editor->ReleaseCapture(this);
    return 1;
}

std::vector<mtxIEActiveCtrl*> mtxIEDialog::TabStops() {
    std::vector<mtxIEActiveCtrl*> out;
    CollectTabStops(this, out);
    return out;
}

int mtxIEDialog::FocusNext(bool backwards) {
    std::vector<mtxIEActiveCtrl*> stops = TabStops();
    if (stops.empty()) return 0;
    mtxIECtrl* focus = editor ? editor->focus : nullptr;
    int n = int(stops.size()), at = -1;
    for (int i = 0; i < n; ++i)
        if (stops[i] == focus || (focus && stops[i]->Contains(focus))) at = i;
    int next = at < 0 ? (backwards ? n - 1 : 0) : (at + (backwards ? n - 1 : 1)) % n;
    stops[next]->SetFocus();
    return 1;
}

void mtxIEDialog::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) {
    switch (key) {
        case VK_TAB:
            FocusNext(ShiftDown());
            return;
        case VK_RETURN:
            if (defaultButton && defaultButton->IsShown()) defaultButton->Click();
            return;
        case VK_ESCAPE:
            if (cancelButton && cancelButton->IsShown()) cancelButton->Click();
            return;
        default:
            mtxIEActiveCtrl::OnKeyDown(key, repeat, keyFlags);
    }
}
