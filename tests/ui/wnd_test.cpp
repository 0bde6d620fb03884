// Scroll bars of the framed window: presses, the arrow's auto-repeat driven by
// timer messages, thumb dragging and degenerate tracks.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/wnd.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

struct Scrolled {
    Scrolled() { testing_support::SharedApp(); }  // timer ids come from its pool
    Editor editor{400, 300};
    mtxIEWnd* wnd = [this] {
        auto* w = new mtxIEWnd(editor.canvas.get());
        w->SetRect({10, 10, 210, 210});
        w->Show(1);
        w->ShowScrollBar(mtxIEWnd::kVertical, 1);
        w->SetScrollInfo(mtxIEWnd::kVertical, mtxIEWnd::kAll, {0, 99, 10, 0, 0});
        return w;
    }();
    int Position() const { return wnd->GetScrollInfo(mtxIEWnd::kVertical).position; }
    // Centre of a part of the vertical bar in client coordinates.
    POINT At(int part) const {
        RECT r = wnd->PartRect(mtxIEWnd::kVertical, part);
        return {10 + (r.left + r.right) / 2, 10 + (r.top + r.bottom) / 2};
    }
    void Tick(int n) {
        for (int i = 0; i < n; ++i) SendMessage(editor.Handle(), WM_TIMER, wnd->timerId, 0);
    }
};

TEST(ScrollBar, HoldingAnArrowRepeatsAfterFortyTicksUntilThePointerLeavesIt) {
    Scrolled s;
    POINT down = s.At(mtxIEWnd::kArrowForward);
    Mouse(s.editor, WM_LBUTTONDOWN, down.x, down.y, MK_LBUTTON);
    EXPECT_EQ(s.Position(), 1);  // one step at once
    EXPECT_EQ(s.editor.capture, s.wnd);
    ASSERT_NE(s.wnd->timerId, 0u);
    s.Tick(39);
    EXPECT_EQ(s.Position(), 1);
    s.Tick(1);
    EXPECT_EQ(s.Position(), 2);
    s.Tick(3);
    EXPECT_EQ(s.Position(), 5);
    // Off the arrow: the timer goes and its id returns to the pool.
    uintptr_t id = s.wnd->timerId;
    Mouse(s.editor, WM_MOUSEMOVE, down.x - 150, down.y, MK_LBUTTON);
    EXPECT_EQ(s.wnd->timerId, 0u);
    SendMessage(s.editor.Handle(), WM_TIMER, id, 0);
    EXPECT_EQ(s.Position(), 5);
    Mouse(s.editor, WM_LBUTTONUP, down.x - 150, down.y);
    EXPECT_EQ(s.editor.capture, nullptr);
    uint16_t again = testing_support::SharedApp().ids.Take();
    EXPECT_LE(again, id);
    testing_support::SharedApp().ids.Give(again);
}

TEST(ScrollBar, PageAreasStepByAPageAndDoNotRepeat) {
    Scrolled s;
    POINT page = s.At(mtxIEWnd::kPageForward);
    Mouse(s.editor, WM_LBUTTONDOWN, page.x, page.y, MK_LBUTTON);
    EXPECT_EQ(s.Position(), 10);
    EXPECT_EQ(s.wnd->timerId, 0u);
    Mouse(s.editor, WM_LBUTTONUP, page.x, page.y);
    POINT back = s.At(mtxIEWnd::kArrowBack);
    Click(s.editor, back.x, back.y);
    EXPECT_EQ(s.Position(), 9);
}

TEST(ScrollBar, DraggingTheThumbToTheEndStopsAtMaximumLessPagePlusOne) {
    Scrolled s;
    POINT thumb = s.At(mtxIEWnd::kThumb);
    Mouse(s.editor, WM_LBUTTONDOWN, thumb.x, thumb.y, MK_LBUTTON);
    EXPECT_EQ(s.Position(), 0);
    Mouse(s.editor, WM_MOUSEMOVE, thumb.x + 300, thumb.y + 1000, MK_LBUTTON);  // captured
    EXPECT_EQ(s.Position(), 90);
    EXPECT_EQ(s.wnd->GetScrollInfo(mtxIEWnd::kVertical).trackPosition, 90);
    Mouse(s.editor, WM_MOUSEMOVE, thumb.x, thumb.y - 1000, MK_LBUTTON);
    EXPECT_EQ(s.Position(), 0);
    Mouse(s.editor, WM_LBUTTONUP, thumb.x, thumb.y);
}

TEST(ScrollBar, ATrackWithNoRoomScrollsNothingAndDividesByNothing) {
    Scrolled s;
    s.wnd->SetRect({10, 10, 210, 44});  // bar 32 high: two arrows, no track
    EXPECT_EQ(s.wnd->TrackLength(mtxIEWnd::kVertical), 0);
    EXPECT_EQ(s.wnd->ThumbLength(mtxIEWnd::kVertical), 0);
    s.wnd->SetScrollInfo(mtxIEWnd::kVertical, mtxIEWnd::kAll, {5, 5, 0, 5, 5});  // no range
    EXPECT_EQ(s.wnd->ThumbOffset(mtxIEWnd::kVertical), 0);
    Mouse(s.editor, WM_LBUTTONDOWN, 200, 12, MK_LBUTTON);
    Mouse(s.editor, WM_MOUSEMOVE, 200, 40, MK_LBUTTON);
    Mouse(s.editor, WM_LBUTTONUP, 200, 40);
    EXPECT_EQ(s.Position(), 5);
}

TEST(ScrollBar, ClientPressesGoToTheChildrenAndTheBarsDrawInsideTheFrame) {
    Scrolled s;
    std::vector<std::string> log;
    auto* child = new Spy(s.wnd, {0, 0, 10, 10}, 0xFF00FF00, &log, "child");
    child->SetDock(mtxIECtrl::kDockFill);
    EXPECT_EQ(Str(child->rect), Str(s.wnd->GetClientRect()));
    Click(s.editor, 50, 50);
    EXPECT_EQ(log.front(), "child:down(40,40)");
    s.editor.Paint();
    Pixels p = ReadBack(s.editor);
    EXPECT_EQ(p.At(50, 50), 0xFF00FF00u);
    EXPECT_NE(p.At(10 + 200 - 8, 100), 0xFF00FF00u);  // the bar, not the child
}

}  // namespace
