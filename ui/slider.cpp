#include "ui/slider.h"

#include <algorithm>

#include "platform/window.h"
#include "ui/flat_look.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"
#include "ui/skin_look.h"

using namespace mtxOs;

mtxIESlider::mtxIESlider(mtxIECtrl* parent) : mtxIEActiveCtrl(parent) {
    rect = {0, 0, 100, 20};
    tabStop = 1;
}

mtxIESlider::mtxIESlider(mtxImageEditor* host) : mtxIEActiveCtrl(host) {
    rect = {0, 0, 100, 20};
    tabStop = 1;
}

void mtxIESlider::SetRange(int lo, int hi) {
    minimum = lo;
    maximum = std::max(lo, hi);
    SetValue(value);
    Invalidate();
}

int mtxIESlider::SetValue(int v, bool notify) {
    v = std::clamp(v, minimum, maximum);
    if (v == value) return 0;
    value = v;
    Invalidate();
    if (notify) Notify(uint16_t(value));
    return 1;
}

int mtxIESlider::ValueAt(int localX) const {
    int track = Width() - kThumb;
    if (track <= 0 || maximum == minimum) return minimum;
    int64_t offset = std::clamp(localX - kThumb / 2, 0, track);
    return minimum + int((offset * (int64_t(maximum) - minimum) + track / 2) / track);
}

int mtxIESlider::OnLButtonDown(int x, int, uint32_t) {
    if (!HasFocus()) SetFocus();
    dragging = true;
    if (editor) editor->SetCapture(this);
    SetValue(ValueAt(x - rect.left), true);
    return 1;
}

int mtxIESlider::OnMouseMove(int x, int y, uint32_t keys) {
    if (!dragging) return mtxIEActiveCtrl::OnMouseMove(x, y, keys);
    SetValue(ValueAt(x - rect.left), true);
    return 1;
}

int mtxIESlider::OnLButtonUp(int, int, uint32_t) {
    dragging = false;
    if (editor) editor->ReleaseCapture(this);
    return 1;
}

void mtxIESlider::OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) {
    int n = int(std::max<uint32_t>(repeat, 1));
    int page = std::max(1, (maximum - minimum) / 10);
    switch (key) {
        case VK_LEFT:
        case VK_DOWN:
            SetValue(value - step * n, true);
            return;
        case VK_RIGHT:
        case VK_UP:
            SetValue(value + step * n, true);
            return;
        case VK_PRIOR:
            SetValue(value + page, true);
            return;
        case VK_NEXT:
            SetValue(value - page, true);
            return;
        case VK_HOME:
            SetValue(minimum, true);
            return;
        case VK_END:
            SetValue(maximum, true);
            return;
        default:
            mtxIEActiveCtrl::OnKeyDown(key, repeat, keyFlags);
    }
}

void mtxIESlider::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    if (!profile) return;
    int mid = y + Height() / 2;
    RECT track = {x + kThumb / 2, mid - 2, x + Width() - kThumb / 2, mid + 2};
    if (!mtxIESkinLook::SliderTrack(editor, *profile, {track.left, y, track.right, y + Height()}))
        mtxIEFlatLook::Field(device, *profile, track, true);
    int span = Width() - kThumb;
    int offset =
        maximum > minimum ? int(int64_t(value - minimum) * span / (int64_t(maximum) - minimum)) : 0;
    RECT thumb = {x + offset, y + 2, x + offset + kThumb, y + Height() - 2};
    mtxIESkinLook::Face face;
    face.rect = thumb;
    face.pressed = dragging;
    face.corner = 3.0f;
    mtxIESkinLook::ButtonFace(editor, *profile, face);
    if (HasFocus())
        mtxIEFlatLook::FocusRing(device, *profile,
                                 {x - 1, y - 1, x + Width() + 1, y + Height() + 1});
    (void)clip;
}
