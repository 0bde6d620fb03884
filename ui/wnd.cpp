#include "ui/wnd.h"

#include <algorithm>

#include "base/application.h"
#include "platform/window.h"
#include "ui/image_editor.h"
#include "ui/primitives.h"

namespace {

int Clamp(int v, int lo, int hi) {
    return std::max(lo, std::min(v, hi));
}

bool In(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace

mtxIEWnd::mtxIEWnd(mtxIECtrl* parent) : mtxIEActiveCtrl(parent) {
    rect = {0, 0, 200, 200};
}

mtxIEWnd::mtxIEWnd(mtxImageEditor* host) : mtxIEActiveCtrl(host) {
    rect = {0, 0, 200, 200};
}

mtxIEWnd::~mtxIEWnd() {
    StopRepeat();
}

void mtxIEWnd::SetScrollInfo(int bar, uint32_t mask, const ScrollInfo& in) {
    ScrollInfo& info = bars_[bar & 1].info;
    if (mask & kRange) info.minimum = in.minimum, info.maximum = std::max(in.minimum, in.maximum);
    if (mask & kPage) info.page = std::max(0, in.page);
    if (mask & kPosition) info.position = in.position;
    int top = std::max(info.minimum, info.maximum - std::max(info.page, 1) + 1);
    info.position = Clamp(info.position, info.minimum, top);
    info.trackPosition = info.position;
    Invalidate();
}

void mtxIEWnd::ShowScrollBar(int bar, int on) {
    bars_[bar & 1].shown = on ? 1 : 0;
    LayoutChildren();
    Invalidate();
}

void mtxIEWnd::SetCaption(const std::string& text, int on) {
    caption_ = text;
    hasCaption_ = on ? 1 : 0;
    if (profile && profile->font) profile->font->Prepare(text);
    LayoutChildren();
    Invalidate();
}

RECT mtxIEWnd::Inner() const {
    int caption = hasCaption_ && profile ? profile->captionHeight : 0;
    return {1, 1 + caption, std::max(1, Width() - 1), std::max(1 + caption, Height() - 1)};
}

RECT mtxIEWnd::GetClientRect() {
    RECT r = Inner();
    int s = profile ? profile->scrollBarSize : 16;
    if (bars_[kVertical].shown) r.right = std::max(r.left, r.right - s);
    if (bars_[kHorizontal].shown) r.bottom = std::max(r.top, r.bottom - s);
    return r;
}

RECT mtxIEWnd::BarRect(int bar) const {
    if (!bars_[bar & 1].shown) return {};
    RECT r = Inner();
    int s = profile ? profile->scrollBarSize : 16;
    bool both = bars_[0].shown && bars_[1].shown;
    if (bar == kVertical)
        return {std::max(r.left, r.right - s), r.top, r.right,
                both ? std::max(r.top, r.bottom - s) : r.bottom};
    return {r.left, std::max(r.top, r.bottom - s), both ? std::max(r.left, r.right - s) : r.right,
            r.bottom};
}

int mtxIEWnd::TrackLength(int bar) const {
    RECT r = BarRect(bar);
    int s = profile ? profile->scrollBarSize : 16;
    int length = bar == kVertical ? r.bottom - r.top : r.right - r.left;
    return std::max(0, length - 2 * s);
}

int mtxIEWnd::ThumbLength(int bar) const {
    const ScrollInfo& info = bars_[bar & 1].info;
    int track = TrackLength(bar);
    int range = info.maximum - info.minimum;
    if (range <= 0) return track;
    int minimum = profile ? profile->minThumbLength : 8;
    int length = int(int64_t(info.page) * track / range);
    return std::min(track, std::max(length, minimum));
}

// The inverse of dragging: the thumb's distance from the first arrow.
int mtxIEWnd::ThumbOffset(int bar) const {
    const ScrollInfo& info = bars_[bar & 1].info;
    int free = TrackLength(bar) - ThumbLength(bar);
    int span = info.maximum - info.minimum - info.page;
    if (free <= 0 || span <= 0) return 0;
    int pos =
        tracking_ && trackPart_ == kThumb && trackBar_ == bar ? info.trackPosition : info.position;
    return Clamp(int(int64_t(pos - info.minimum) * free / span), 0, free);
}

RECT mtxIEWnd::PartRect(int bar, int part) const {
    RECT r = BarRect(bar);
    if (r.right <= r.left) return {};
    int s = profile ? profile->scrollBarSize : 16;
    int start = bar == kVertical ? r.top : r.left, end = bar == kVertical ? r.bottom : r.right;
    int track0 = std::min(start + s, end), track1 = std::max(track0, end - s);
    int thumb0 = track0 + ThumbOffset(bar), thumb1 = thumb0 + ThumbLength(bar);
    int a = 0, b = 0;
    switch (part) {
        case kArrowBack:
            a = start, b = track0;
            break;
        case kArrowForward:
            a = track1, b = end;
            break;
        case kPageBack:
            a = track0, b = thumb0;
            break;
        case kPageForward:
            a = thumb1, b = track1;
            break;
        case kThumb:
            a = thumb0, b = thumb1;
            break;
        default:
            return {};
    }
    return bar == kVertical ? RECT{r.left, a, r.right, b} : RECT{a, r.top, b, r.bottom};
}

int mtxIEWnd::HitPart(int bar, int x, int y) const {
    if (!In(BarRect(bar), x, y)) return kNowhere;
    for (int part : {kThumb, kArrowBack, kArrowForward, kPageBack, kPageForward})
        if (In(PartRect(bar, part), x, y)) return part;
    return kNowhere;
}

void mtxIEWnd::Scroll(int bar, int code) {
    ScrollInfo info = bars_[bar & 1].info;
    switch (code) {
        case kLineBack:
            --info.position;
            break;
        case kLineForward:
            ++info.position;
            break;
        case kPageUp:
            info.position -= std::max(1, info.page);
            break;
        case kPageDown:
            info.position += std::max(1, info.page);
            break;
        case kTrack:
            info.position = info.trackPosition;
            break;
        default:
            return;
    }
    SetScrollInfo(bar, kPosition, info);
}

void mtxIEWnd::ScrollBy(int bar, int part) {
    static const int kCodes[] = {-1, kLineBack, kLineForward, kPageUp, kPageDown};
    if (part < kArrowBack || part > kPageForward) return;
    if (bar == kVertical)
        OnVScroll(kCodes[part]);
    else
        OnHScroll(kCodes[part]);
    Invalidate();
}

int mtxIEWnd::OnLButtonDown(int x, int y, uint32_t keys) {
    int lx = x - rect.left, ly = y - rect.top;
    RECT client = GetClientRect();
    if (!tracking_ && In(client, lx, ly)) return OnClientLButtonDown(lx, ly, keys);
    if (editor) editor->SetCapture(this);
    tracking_ = 1;
    for (int bar : {kVertical, kHorizontal}) {
        int part = HitPart(bar, lx, ly);
        if (part == kNowhere) continue;
        trackBar_ = bar, trackPart_ = part;
        pressX_ = lx, pressY_ = ly;
        pressPosition_ = bars_[bar].info.position;
        bars_[bar].info.trackPosition = pressPosition_;
        if (part != kThumb) ScrollBy(bar, part);
        if (part == kArrowBack || part == kArrowForward) {
            // The bar's timer: ids come from the application's pool.
            mtxApplication* app = mtxGetApp();
            timerId = app ? app->ids.Take() : 0;
            repeatCount = 0;
            if (timerId && editor && editor->Handle())
                mtxOs::SetTimer(editor->Handle(), timerId, 10);
        }
        break;
    }
    return 1;
}

int mtxIEWnd::OnMouseMove(int x, int y, uint32_t keys) {
    int lx = x - rect.left, ly = y - rect.top;
    if (!tracking_) return mtxIECtrl::OnMouseMove(x, y, keys);
    if (timerId && HitPart(trackBar_, lx, ly) != trackPart_) StopRepeat();
    if (trackPart_ == kThumb) {
        ScrollInfo& info = bars_[trackBar_].info;
        int free = TrackLength(trackBar_) - ThumbLength(trackBar_);
        int offset = trackBar_ == kVertical ? ly - pressY_ : lx - pressX_;
        // A track with no room for the thumb to move scrolls nothing.
        int moved =
            free > 0 ? int(int64_t(info.maximum - info.minimum - info.page) * offset / free) : 0;
        int top = std::max(info.minimum, info.maximum - std::max(info.page, 1) + 1);
        info.trackPosition = Clamp(pressPosition_ + moved, info.minimum, top);
        if (trackBar_ == kVertical)
            OnVScroll(kTrack);
        else
            OnHScroll(kTrack);
        Invalidate();
    }
    return 1;
}

int mtxIEWnd::OnLButtonUp(int x, int y, uint32_t keys) {
    if (!tracking_) {
        int lx = x - rect.left, ly = y - rect.top;
        if (In(GetClientRect(), lx, ly)) return OnClientLButtonUp(lx, ly, keys);
        return mtxIECtrl::OnLButtonUp(x, y, keys);
    }
    EndTracking();
    if (editor) editor->ReleaseCapture(this);
    return 1;
}

int mtxIEWnd::OnRButtonDown(int x, int y, uint32_t keys) {
    int lx = x - rect.left, ly = y - rect.top;
    if (!tracking_ && In(GetClientRect(), lx, ly)) return OnClientRButtonDown(lx, ly, keys);
    return 1;
}

void mtxIEWnd::OnCaptureLost() {
    EndTracking();
}

void mtxIEWnd::EndTracking() {
    StopRepeat();
    if (tracking_) Invalidate();
    tracking_ = 0;
    trackPart_ = kNowhere;
}

void mtxIEWnd::StopRepeat() {
    if (!timerId) return;
    if (editor && editor->Handle()) mtxOs::KillTimer(editor->Handle(), timerId);
    if (mtxApplication* app = mtxGetApp()) app->ids.Give(uint16_t(timerId));
    timerId = 0;
}

void mtxIEWnd::OnTimer(uintptr_t id) {
    if (timerId && id == timerId) {
        repeatCount = std::min(repeatCount + 10, kRepeatDelay);
        if (repeatCount >= kRepeatDelay) ScrollBy(trackBar_, trackPart_);
    }
    mtxIECtrl::OnTimer(id);
}

int mtxIEWnd::OnClientLButtonDown(int x, int y, uint32_t keys) {
    return mtxIECtrl::OnLButtonDown(x + rect.left, y + rect.top, keys);
}

int mtxIEWnd::OnClientLButtonUp(int x, int y, uint32_t keys) {
    return mtxIECtrl::OnLButtonUp(x + rect.left, y + rect.top, keys);
}

int mtxIEWnd::OnClientRButtonDown(int x, int y, uint32_t keys) {
    return mtxIECtrl::OnRButtonDown(x + rect.left, y + rect.top, keys);
}

void mtxIEWnd::Draw(int x, int y, const RECT& clip) {
    IDirect3DDevice9* device = editor ? editor->GetDevice() : nullptr;
    const mtxIEProfile& p = *profile;
    RECT whole = {x, y, x + Width(), y + Height()};
    mtxIEPrimitives::FillRect(device, whole, p.faceColor);
    mtxIEPrimitives::FrameRect(device, whole, p.frameColor);
    if (hasCaption_) {
        RECT bar = mtxOffset(RECT{1, 1, Width() - 1, 1 + p.captionHeight}, x, y);
        mtxIEPrimitives::FillRect(device, bar, p.captionColor);
        if (p.font)
            p.font->DrawAligned(device, mtxOffset(bar, 4, 0), caption_, 0, p.captionTextColor);
    }
    for (int bar : {kVertical, kHorizontal}) {
        if (!bars_[bar].shown) continue;
        mtxIEPrimitives::FillRect(device, mtxOffset(BarRect(bar), x, y), 0xFFE8E6E1);
        for (int part : {kArrowBack, kArrowForward, kThumb}) {
            RECT r = mtxOffset(PartRect(bar, part), x, y);
            if (mtxIsEmpty(r)) continue;
            bool pressed = tracking_ && trackBar_ == bar && trackPart_ == part;
            mtxIEPrimitives::FillRect(device, r, pressed ? p.shadowColor : p.faceColor);
            mtxIEPrimitives::FrameRect(device, r, p.shadowColor);
            if (part == kThumb) continue;
            if (bar == kVertical) {
                mtxIEPrimitives::ArrowGlyph(device, r, part == kArrowBack ? 1 : 2, p.arrowColor);
            } else {
                int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2, d = 3;
                int dir = part == kArrowBack ? -1 : 1;
                POINT tri[3] = {{cx + dir * d, cy},
                                {cx - dir * d, cy - 2 * d + 1},
                                {cx - dir * d, cy + 2 * d - 1}};
                mtxIEPrimitives::FillPolygon(device, tri, 3, p.arrowColor);
            }
        }
    }
    RECT client = mtxOffset(GetClientRect(), x, y);
    RECT inner = mtxIntersect(client, clip);
    if (mtxIsEmpty(inner)) return;
    editor->SetClip(inner);
    DrawChildren(x, y, inner);
    editor->SetClip(clip);
}
