#include "ui/list_box.h"

#include <algorithm>
#include <cctype>

#include "platform/cpu.h"
#include "platform/window.h"
#include "ui/flat_look.h"
#include "ui/font.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"

using namespace mtxOs;

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

}  // namespace

mtxIEListBox::mtxIEListBox(mtxIECtrl* parent) : mtxIEWnd(parent) {
    rect = {0, 0, 70, 80};
    tabStop = 1;
    flags |= kVisible;
}

mtxIEListBox::mtxIEListBox(mtxImageEditor* host) : mtxIEWnd(host) {
    rect = {0, 0, 70, 80};
    tabStop = 1;
}

int mtxIEListBox::ItemHeight() const {
    if (itemHeight > 0) return itemHeight;
    return (profile ? profile->lineHeight : 16) + 2;
}

int mtxIEListBox::VisibleCount() {
    RECT c = GetClientRect();
    return std::max(1, (c.bottom - c.top) / ItemHeight());
}

void mtxIEListBox::UpdateScroll() {
    ScrollInfo info = GetScrollInfo(kVertical);
    info.minimum = 0;
    info.maximum = std::max(0, Count() - 1);
    info.page = VisibleCount();
    bool needed = Count() > info.page;
    ShowScrollBar(kVertical, needed ? 1 : 0);
    info.page = VisibleCount();  // the bar may have changed the client area
    SetScrollInfo(kVertical, kAll, info);
    Invalidate();
}

int mtxIEListBox::AddItem(const std::string& text, uintptr_t data) {
    items.push_back({text, data});
    UpdateScroll();
    return Count() - 1;
}

void mtxIEListBox::Clear() {
    items.clear();
    selection = -1;
    typed_.clear();
    ScrollInfo info = GetScrollInfo(kVertical);
    info.position = 0;
    SetScrollInfo(kVertical, kPosition, info);
    UpdateScroll();
}

void mtxIEListBox::Select(int index, bool notify) {
    if (index < -1 || index >= Count()) return;
    bool changed = index != selection;
    selection = index;
    // A selection made another way starts the type-ahead afresh.
    if (!typing_) typed_.clear();
    if (index >= 0) EnsureVisible(index);
    Invalidate();
    if (changed && notify) Notify(uint16_t(index));
}

int mtxIEListBox::Choose() {
    if (selection < 0 || !chooseAction || !target || !editor) return 0;
    if (sync)
        editor->SendCommand(target, chooseAction, uint16_t(selection));
    else
        editor->PostCommand(target, chooseAction, uint16_t(selection));
    return 1;
}

void mtxIEListBox::EnsureVisible(int index) {
    ScrollInfo info = GetScrollInfo(kVertical);
    int visible = VisibleCount();
    if (index < info.position)
        info.position = index;
    else if (index >= info.position + visible)
        info.position = index - visible + 1;
    else
        return;
    SetScrollInfo(kVertical, kPosition, info);
}

int mtxIEListBox::ItemAt(int localY) {
    RECT c = GetClientRect();
    if (localY < c.top) return -1;
    int index = TopIndex() + (localY - c.top) / ItemHeight();
    return index < Count() ? index : -1;
}

int mtxIEListBox::FindPrefix(const std::string& prefix, int after) const {
    int n = Count();
    for (int k = 1; k <= n; ++k) {
        int i = ((after < 0 ? -1 : after) + k) % n;
        if (StartsWith(items[size_t(i)].text, prefix)) return i;
    }
    return -1;
}

int mtxIEListBox::OnClientLButtonDown(int, int y, uint32_t) {
    if (!HasFocus()) SetFocus();
    int index = ItemAt(y);
    if (index >= 0) Select(index, true);
    return 1;
}

int mtxIEListBox::OnLButtonDblClk(int x, int y, uint32_t keys) {
    int lx = x - rect.left, ly = y - rect.top;
    RECT c = GetClientRect();
    if (lx < c.left || lx >= c.right || ly < c.top || ly >= c.bottom)
        return mtxIEWnd::OnLButtonDown(x, y, keys);
    int index = ItemAt(ly);
    if (index < 0) return 1;
    Select(index, true);
    Choose();
    return 1;
}

void mtxIEListBox::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) {
    if (Count() == 0) return mtxIEWnd::OnKeyDown(key, repeat, keyFlags);
    int n = int(std::max<uint32_t>(repeat, 1));
    int at = selection, last = Count() - 1, page = VisibleCount();
    switch (key) {
        case VK_UP:
            return Select(std::max(0, at < 0 ? 0 : at - n), true);
        case VK_DOWN:
            return Select(std::min(last, at + n), true);
        case VK_PRIOR:
            return Select(std::max(0, at - page), true);
        case VK_NEXT:
            return Select(std::min(last, std::max(0, at) + page), true);
        case VK_HOME:
            return Select(0, true);
        case VK_END:
            return Select(last, true);
        case VK_RETURN:
            if (chooseAction && Choose()) return;
            break;
        default:
            break;
    }
    mtxIEWnd::OnKeyDown(key, repeat, keyFlags);
}

void mtxIEListBox::OnChar(uint32_t c, uint32_t) {
    if (c < 0x20 || c == 0x7F || c > 0x7E) return;
    uint32_t now = Milliseconds();
    if (now - typedAt_ > kTypeAheadMs) typed_.clear();
    typedAt_ = now;
    typed_ += char(c);
    // Typing the same letter again steps through the items with that letter.
    bool repeated = typed_.size() > 1 && typed_.find_first_not_of(typed_[0]) == std::string::npos;
    std::string prefix = repeated ? typed_.substr(0, 1) : typed_;
    int start = repeated || typed_.size() == 1 ? selection : selection - 1;
    int found = FindPrefix(prefix, start);
    typing_ = true;
    if (found >= 0) Select(found, true);
    typing_ = false;
}

void mtxIEListBox::OnVScroll(int code) {
    Scroll(kVertical, code);
    Invalidate();
}

void mtxIEListBox::Draw(int x, int y, const RECT& clip) {
    mtxIEWnd::Draw(x, y, clip);
    if (!editor || !profile) return;
    IDirect3DDevice9* device = editor->GetDevice();
    RECT c = mtxOffset(GetClientRect(), x, y);
    mtxIEPrimitives::FillRect(device, c, 0xFFFFFFFF);
    RECT inner = mtxIntersect(c, clip);
    if (mtxIsEmpty(inner)) return;
    editor->SetClip(inner);
    int h = ItemHeight();
    for (int i = TopIndex(), top = c.top; i < Count() && top < c.bottom; ++i, top += h)
        DrawItem(i, {c.left, top, c.right, top + h}, i == selection);
    if (HasFocus()) mtxIEPrimitives::FrameRect(device, c, profile->selectionColor);
    editor->SetClip(clip);
}

void mtxIEListBox::DrawItem(int index, const RECT& r, bool selected) {
    IDirect3DDevice9* device = editor->GetDevice();
    uint32_t ink = profile->textColor;
    if (selected) {
        mtxIEPrimitives::FillRect(device, r, profile->selectionColor);
        ink = 0xFFFFFFFF;
    }
    if (profile->font)
        profile->font->DrawAligned(device, {r.left + 3, r.top, r.right, r.bottom},
                                   items[size_t(index)].text, kAlignLeft, ink);
}
