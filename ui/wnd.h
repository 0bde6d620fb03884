#pragma once
#include <cstdint>
#include <string>

#include "ui/active_ctrl.h"

// A framed control with an optional caption and a vertical and a horizontal
// scroll bar: the base of the viewer and the list boxes. Presses on a bar
// scroll at once; holding an arrow repeats its step on the bar's timer after
// a delay; the thumb follows the pointer while dragged.
class mtxIEWnd : public mtxIEActiveCtrl {
  public:
    enum Bar { kHorizontal = 0, kVertical = 1 };
    enum Part { kNowhere = 0, kArrowBack, kArrowForward, kPageBack, kPageForward, kThumb };
    enum Code { kLineBack = 0, kLineForward, kPageUp, kPageDown, kEndScroll, kTrack };
    enum Mask : uint32_t { kRange = 1, kPage = 2, kPosition = 4, kAll = 7 };
    struct ScrollInfo {
        int32_t minimum = 0, maximum = 0, page = 0, position = 0, trackPosition = 0;
    };
    static constexpr int kRepeatDelay = 400;  // the tick counter grows by 10 up to this

    explicit mtxIEWnd(mtxIECtrl* parent);
    // A root: a dialog or pop-up placed in editor coordinates.
    explicit mtxIEWnd(mtxImageEditor* editor);
    ~mtxIEWnd() override;

    // Stores the parts of info that mask names, keeping the position inside
    // [minimum, maximum - page + 1].
    void SetScrollInfo(int bar, uint32_t mask, const ScrollInfo& info);
    ScrollInfo GetScrollInfo(int bar) const { return bars_[bar & 1].info; }
    void ShowScrollBar(int bar, int on);
    void SetCaption(const std::string& text, int on);

    // The area inside the frame, the caption and the visible bars.
    RECT GetClientRect() override;
    void Draw(int x, int y, const RECT& clip) override;
    int OnLButtonDown(int x, int y, uint32_t keys) override;
    int OnLButtonUp(int x, int y, uint32_t keys) override;
    int OnMouseMove(int x, int y, uint32_t keys) override;
    int OnRButtonDown(int x, int y, uint32_t keys) override;
    void OnCaptureLost() override;
    void OnTimer(uintptr_t id) override;

    // Scrolling: the defaults move the position by a line or a page, or to the
    // track position, and redraw.
    virtual void OnHScroll(int code) { Scroll(kHorizontal, code); }
    virtual void OnVScroll(int code) { Scroll(kVertical, code); }
    // Presses in the client area (local coordinates); the defaults route them
    // to the children.
    virtual int OnClientLButtonDown(int x, int y, uint32_t keys);
    virtual int OnClientLButtonUp(int x, int y, uint32_t keys);
    virtual int OnClientRButtonDown(int x, int y, uint32_t keys);

    // Geometry of a bar in local coordinates; empty when hidden.
    RECT BarRect(int bar) const;
    // The part of the bar under a local point.
    int HitPart(int bar, int x, int y) const;
    RECT PartRect(int bar, int part) const;
    int TrackLength(int bar) const;
    int ThumbLength(int bar) const;
    int ThumbOffset(int bar) const;

    uintptr_t timerId = 0;  // while an arrow is held
    int repeatCount = 0;

  protected:
    void Scroll(int bar, int code);

  private:
    struct BarState {
        ScrollInfo info;
        int shown = 0;
    };
    void ScrollBy(int bar, int part);
    void StopRepeat();
    void EndTracking();
    RECT Inner() const;  // inside the frame and below the caption

    BarState bars_[2];
    std::string caption_;
    int hasCaption_ = 0;
    int tracking_ = 0, trackBar_ = 0, trackPart_ = 0;
    int pressPosition_ = 0, pressX_ = 0, pressY_ = 0;
};
