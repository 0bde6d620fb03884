#include "ui/ctrl.h"

#include <algorithm>

#include "ui/font.h"
#include "ui/image_editor.h"

RECT mtxIntersect(const RECT& a, const RECT& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

RECT mtxUnion(const RECT& a, const RECT& b) {
    if (mtxIsEmpty(a)) return b;
    if (mtxIsEmpty(b)) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

RECT mtxOffset(const RECT& r, int dx, int dy) {
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

mtxIECtrl::mtxIECtrl(mtxIECtrl* parentCtrl) : parent(parentCtrl) {
    if (!parent) return;
    editor = parent->editor;
    profile = editor ? editor->GetProfile() : parent->profile;
    parent->AddChild(this);
}

mtxIECtrl::mtxIECtrl(mtxImageEditor* host) : editor(host) {
    if (editor) profile = editor->GetProfile();
}

mtxIECtrl::~mtxIECtrl() {
    if (editor) {
        if (IsShown()) Invalidate();
        editor->ForgetControl(this, true);
    }
    if (parent) {
        auto it = std::find(parent->children.begin(), parent->children.end(), this);
        if (it != parent->children.end()) parent->children.erase(it);
    }
    // Children go in list order; each one's parent is still whole while it does.
    std::vector<mtxIECtrl*> list = std::move(children);
    children.clear();
    for (mtxIECtrl* child : list) delete child;
}

int mtxIECtrl::HitTest(int x, int y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

void mtxIECtrl::LayoutChildren() {
    for (mtxIECtrl* child : children) child->Layout();
}

void mtxIECtrl::Layout() {
    if (parent) {
        RECT p = parent->GetClientRect();
        RECT r = rect;
        switch (dock) {
            case kDockLeft:
                r.left = p.left, r.top = p.top, r.bottom = p.bottom;
                break;
            case kDockTop:
                r.left = p.left, r.top = p.top, r.right = p.right;
                break;
            case kDockRight:
                r = mtxOffset(r, p.right - r.right, 0);
                r.top = p.top, r.bottom = p.bottom;
                break;
            case kDockBottom:
                r = mtxOffset(r, 0, p.bottom - r.bottom);
                r.left = p.left, r.right = p.right;
                break;
            case kDockFill:
                r = p;
                break;
            default:
                break;
        }
        if (anchors[kEdgeLeft].on) r.left = anchors[kEdgeLeft].value;
        if (anchors[kEdgeTop].on) r.top = anchors[kEdgeTop].value;
        if (anchors[kEdgeRight].on) r.right = p.right - anchors[kEdgeRight].value;
        if (anchors[kEdgeBottom].on) r.bottom = p.bottom - anchors[kEdgeBottom].value;
        int width = std::max(r.right - r.left, minWidth);
        int height = std::max(r.bottom - r.top, minHeight);
        if (maxWidth > 0) width = std::min(width, maxWidth);
        if (maxHeight > 0) height = std::min(height, maxHeight);
        r.right = r.left + width;
        r.bottom = r.top + height;
        rect = r;
    }
    OnResized();
    LayoutChildren();
}

void mtxIECtrl::Draw(int x, int y, const RECT& clip) {
    DrawChildren(x, y, clip);
}

void mtxIECtrl::DrawChildren(int x, int y, const RECT& clip) {
    mtxIECtrl* focus = editor ? editor->focus : nullptr;
    bool clipped = false;
    for (mtxIECtrl* child : children) {
        if (!child->IsVisible() || child == focus) continue;
        RECT r = mtxIntersect(mtxOffset(child->rect, x, y), clip);
        if (mtxIsEmpty(r)) continue;
        if (editor) editor->SetClip(r);
        clipped = true;
        child->Draw(x + child->rect.left, y + child->rect.top, r);
    }
    if (clipped && editor) editor->SetClip(clip);
}

RECT mtxIECtrl::GetClientRect() {
    return {0, 0, Width(), Height()};
}

void mtxIECtrl::SetRect(const RECT& r) {
    rect = r;
    LayoutChildren();
}

void mtxIECtrl::AddChild(mtxIECtrl* child) {
    children.push_back(child);
}

int mtxIECtrl::Dispatch(Mouse event, int x, int y, uint32_t keys) {
    switch (event) {
        case kMouseMove:
            return OnMouseMove(x, y, keys);
        case kLButtonDown:
            return OnLButtonDown(x, y, keys);
        case kLButtonUp:
            return OnLButtonUp(x, y, keys);
        case kLButtonDblClk:
            return OnLButtonDblClk(x, y, keys);
        case kRButtonDown:
            return OnRButtonDown(x, y, keys);
        case kRButtonUp:
            return OnRButtonUp(x, y, keys);
        case kRButtonDblClk:
            return OnRButtonDblClk(x, y, keys);
    }
    return 0;
}

int mtxIECtrl::Route(Mouse event, int x, int y, uint32_t keys) {
    int lx = x - rect.left, ly = y - rect.top;
    for (mtxIECtrl* child : children)
        if (child->IsVisible() && child->HitTest(lx, ly))
            return child->Dispatch(event, lx, ly, keys);
    // Only a press moves the focus: hovering must not take it from a text field.
    bool press = event == kLButtonDown || event == kLButtonDblClk || event == kRButtonDown ||
                 event == kRButtonDblClk;
    if (press && IsVisible() && !HasFocus()) SetFocus();
    if (event == kMouseMove && editor) editor->SetHover(this);
    return 1;
}

int mtxIECtrl::OnMouseWheel(int x, int y, int delta, uint32_t keys) {
    int lx = x - rect.left, ly = y - rect.top;
    for (mtxIECtrl* child : children)
        if (child->IsVisible() && child->HitTest(lx, ly))
            return child->OnMouseWheel(lx, ly, delta, keys);
    return 0;
}

int mtxIECtrl::OnSetCursor(int x, int y) {
    if (editor) editor->SetCursorEx(nullptr);
    int lx = x - rect.left, ly = y - rect.top;
    for (mtxIECtrl* child : children)
        if (child->IsVisible() && child->HitTest(lx, ly)) return child->OnSetCursor(lx, ly);
    return 0;
}

void mtxIECtrl::OnKillFocus() {
    flags &= ~kFocus;
    if (editor) editor->ReleaseCapture(this);
    Invalidate();
}

void mtxIECtrl::OnTimer(uintptr_t id) {
    // A handler may remove children; walk a copy and skip the removed ones.
    std::vector<mtxIECtrl*> list = children;
    for (mtxIECtrl* child : list)
        if (std::find(children.begin(), children.end(), child) != children.end())
            child->OnTimer(id);
}

void mtxIECtrl::OnDeviceLost() {
    for (mtxIECtrl* child : children) child->OnDeviceLost();
}

void mtxIECtrl::OnDeviceReset() {
    for (mtxIECtrl* child : children) child->OnDeviceReset();
}

void mtxIECtrl::InvalidateRect(const RECT& local) {
    if (editor) editor->AddDirty(LocalToEditor(local));
}

void mtxIECtrl::Invalidate() {
    InvalidateRect(RECT{0, 0, Width(), Height()});
}

int mtxIECtrl::Show(int on) {
    int was = IsVisible() ? 1 : 0;
    if (on)
        flags |= kVisible;
    else
        flags &= ~kVisible;
    if (!on && editor) editor->ForgetControl(this, false);
    if (was != (on ? 1 : 0)) Invalidate();
    return was;
}

bool mtxIECtrl::IsShown() const {
    for (const mtxIECtrl* c = this; c; c = c->parent)
        if (!c->IsVisible()) return false;
    return true;
}

void mtxIECtrl::SetDock(uint32_t mode) {
    if (!parent) return;
    dock = mode;
    parent->Layout();
}

void mtxIECtrl::SetAnchor(Edge edge, int32_t value) {
    anchors[edge].on = 1;
    anchors[edge].value = value;
}

void mtxIECtrl::MoveTo(int x, int y) {
    rect = mtxOffset(rect, x - rect.left, y - rect.top);
}

void mtxIECtrl::SetFocus() {
    flags |= kFocus;
    if (editor) editor->SetFocusControl(this);
}

void mtxIECtrl::RemoveChild(mtxIECtrl* child) {
    auto it = std::find(children.begin(), children.end(), child);
    if (it == children.end()) return;
    delete child;  // leaves the list itself
}

bool mtxIECtrl::Contains(const mtxIECtrl* other) const {
    for (const mtxIECtrl* c = other; c; c = c->parent)
        if (c == this) return true;
    return false;
}

POINT mtxIECtrl::LocalToEditor(POINT p) const {
    for (const mtxIECtrl* c = this; c; c = c->parent) p.x += c->rect.left, p.y += c->rect.top;
    return p;
}

POINT mtxIECtrl::EditorToLocal(POINT p) const {
    for (const mtxIECtrl* c = this; c; c = c->parent) p.x -= c->rect.left, p.y -= c->rect.top;
    return p;
}

RECT mtxIECtrl::LocalToEditor(const RECT& r) const {
    POINT o = LocalToEditor(POINT{0, 0});
    return mtxOffset(r, o.x, o.y);
}

RECT mtxIECtrl::EditorToLocal(const RECT& r) const {
    POINT o = LocalToEditor(POINT{0, 0});
    return mtxOffset(r, -o.x, -o.y);
}

int mtxIECtrl::DrawText(int x, int y, const std::string& text, uint32_t color) {
    if (!editor || !profile || !profile->font) return 0;
    return profile->font->DrawAligned(editor->GetDevice(), RECT{x, y, x + Width(), y + Height()},
                                      text, textAlign, color);
}
