#include "ui/tabs.h"

#include "platform/window.h"
#include "ui/flat_look.h"
#include "ui/font.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"

using namespace mtxOs;

mtxIETabs::mtxIETabs(mtxIECtrl* parent) : mtxIEActiveCtrl(parent) {
    rect = {0, 0, 200, (profile ? profile->lineHeight : 16) + 8};
    tabStop = 1;
    textAlign = kAlignCenter;
}

int mtxIETabs::AddTab(const std::string& caption) {
    captions.push_back(caption);
    Invalidate();
    return int(captions.size()) - 1;
}

void mtxIETabs::Select(int index, bool notify) {
    if (index < 0 || index >= int(captions.size()) || index == selection) return;
    selection = index;
    Invalidate();
    if (notify) Notify(uint16_t(index));
}

RECT mtxIETabs::TabRect(int index) const {
    int left = 0;
    for (int i = 0; i < int(captions.size()); ++i) {
        int w = (profile && profile->font ? profile->font->Width(captions[size_t(i)]) : 40) + 16;
        if (i == index) return {left, 0, left + w, Height()};
        left += w;
    }
    return {0, 0, 0, 0};
}

int mtxIETabs::TabAt(int localX) const {
    for (int i = 0; i < int(captions.size()); ++i) {
        RECT r = TabRect(i);
        if (localX >= r.left && localX < r.right) return i;
    }
    return -1;
}

int mtxIETabs::OnLButtonDown(int x, int, uint32_t) {
    if (!HasFocus()) SetFocus();
    int index = TabAt(x - rect.left);
    if (index >= 0) Select(index, true);
    return 1;
}

void mtxIETabs::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) {
    int n = int(captions.size());
    if (n && key == VK_LEFT) return Select((selection + n - 1) % n, true);
    if (n && key == VK_RIGHT) return Select((selection + 1) % n, true);
    mtxIEActiveCtrl::OnKeyDown(key, repeat, keyFlags);
}

void mtxIETabs::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (!profile) return;
    for (int i = 0; i < int(captions.size()); ++i) {
        RECT r = mtxOffset(TabRect(i), x, y);
        bool current = i == selection;
        if (!current) r.top += 2;
        mtxIEFlatLook::Face(device, *profile, r, false, current);
        if (profile->font)
            profile->font->DrawAligned(device, r, captions[size_t(i)], kAlignCenter,
                                       profile->textColor);
        if (current && HasFocus()) mtxIEFlatLook::FocusRing(device, *profile, r);
    }
    (void)clip;
}

void mtxIETabsTrivial::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (!profile) return;
    for (int i = 0; i < int(captions.size()); ++i) {
        RECT r = mtxOffset(TabRect(i), x, y);
        if (profile->font)
            profile->font->DrawAligned(device, r, captions[size_t(i)], kAlignCenter,
                                       profile->textColor);
        if (i == selection)
            mtxIEPrimitives::FillRect(device, {r.left + 4, r.bottom - 2, r.right - 4, r.bottom},
                                      HasFocus() ? profile->selectionColor : profile->textColor);
    }
    (void)clip;
}
