#include "ui/dialog.h"

#include "platform/window.h"
#include "ui/button.h"
#include "ui/flat_look.h"
#include "ui/font.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"

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
    if (profile && profile->HasSkins()) {
        profile->DrawDialogFrame(device, r);
        if (dialogFlags & kTitleBar) {
            profile->DrawTitleBar(device, {r.left, r.top, r.right, r.top + kTitleBarHeight});
            if (profile->font)
                profile->font->DrawAligned(device, {r.left + 8, r.top, r.right - 4, r.top + 25},
                                           title, kAlignLeft, profile->captionTextColor);
        }
    } else if (profile) {
        mtxIEFlatLook::Face(device, *profile, r, false, false);
        mtxIEPrimitives::FrameRect(device, r, profile->frameColor);
        if (dialogFlags & kTitleBar) {
            RECT bar = {r.left + 1, r.top + 1, r.right - 1, r.top + kTitleBarHeight - 2};
            mtxIEPrimitives::FillRect(device, bar, profile->captionColor);
            if (profile->font)
                profile->font->DrawAligned(device, {r.left + 8, r.top, r.right - 4, r.top + 25},
                                           title, kAlignLeft, profile->captionTextColor);
        }
    }
    DrawChildren(x, y, clip);
}

int mtxIEDialog::OnLButtonDown(int x, int y, uint32_t keys) {
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
    if (!dragging_) return mtxIEActiveCtrl::OnMouseMove(x, y, keys);
    Drag(x, y);
    return 1;
}

int mtxIEDialog::OnLButtonUp(int x, int y, uint32_t keys) {
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
