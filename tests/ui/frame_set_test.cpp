// Frame sets: fixed bars beside proportional panes, shares, and refused indexes.
#include <gtest/gtest.h>

#include "tests/ui/ui_test_support.h"
#include "ui/frame_set.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

struct Set {
    mtxIECtrl root{static_cast<mtxImageEditor*>(nullptr)};
    mtxIEFrameSet* set = new mtxIEFrameSet(&root);
    mtxIECtrl* a = new mtxIECtrl(set);
    mtxIECtrl* b = new mtxIECtrl(set);
    mtxIECtrl* c = new mtxIECtrl(set);
};

TEST(FrameSet, A45PixelBarBelowAFullPaneIn300Rows) {
    Set s;
    s.set->SetRect({0, 0, 120, 300});
    s.set->SetPaneControl(0, s.a);
    s.set->SetPaneControl(1, s.b);
    s.set->SetPane(0, 0, 0, 100);
    s.set->SetPane(1, 45, 45, 0);
    EXPECT_EQ(Str(s.a->rect), Str({0, 0, 120, 255}));
    EXPECT_EQ(Str(s.b->rect), Str({0, 255, 120, 300}));
}

TEST(FrameSet, SideBySideWithABarFirst) {
    Set s;
    s.set->orientation = mtxIEFrameSet::kSideBySide;
    s.set->SetRect({0, 0, 400, 80});
    s.set->SetPaneControl(0, s.a);
    s.set->SetPaneControl(1, s.b);
    s.set->SetPane(0, 30, 30, 0);
    s.set->SetPane(1, 0, 0, 100);
    EXPECT_EQ(Str(s.a->rect), Str({0, 0, 30, 80}));
    EXPECT_EQ(Str(s.b->rect), Str({30, 0, 400, 80}));
}

TEST(FrameSet, SharesAreScaledToAddUpToAHundred) {
    Set s;
    s.set->SetPane(0, 0, 0, 50);
    s.set->SetPane(1, 0, 0, 50);
    s.set->SetPane(2, 0, 0, 20);  // the others: 50 * 80 / 100 = 40 each
    EXPECT_EQ(s.set->panes[0].share, 40);
    EXPECT_EQ(s.set->panes[1].share, 40);
    s.set->SetPane(2, 0, 0, 0);  // factor 100 / 80 is not below 1: unchanged
    EXPECT_EQ(s.set->panes[0].share, 40);
}

TEST(FrameSet, NoRemainingShareNeverDividesByZero) {
    Set s;
    s.set->SetRect({0, 0, 100, 200});
    s.set->SetPaneControl(0, s.a);
    s.set->SetPaneControl(1, s.b);
    s.set->SetPaneControl(2, s.c);
    // Pane 0 takes all the share and hits its maximum: P becomes 0 in the first pass.
    s.set->panes[0] = {s.a, 0, 50, 100};
    s.set->panes[1] = {s.b, 0, 0, 0};
    s.set->panes[2] = {s.c, 20, 0, 0};
    s.set->LayoutChildren();
    EXPECT_EQ(Str(s.a->rect), Str({0, 0, 100, 50}));
    EXPECT_EQ(Str(s.b->rect), Str({0, 50, 100, 50}));
    EXPECT_EQ(Str(s.c->rect), Str({0, 50, 100, 70}));
    // Limits larger than the set: the length left stays at 0.
    s.set->panes[1] = {s.b, 500, 0, 0};
    s.set->LayoutChildren();
    EXPECT_EQ(s.c->rect.bottom - s.c->rect.top, 20);
}

TEST(FrameSet, PaneIndexesOutsideTheArrayAreRefused) {
    Set s;
    EXPECT_EQ(s.set->SetPaneControl(16, s.a), 0);
    EXPECT_EQ(s.set->SetPaneControl(-1, s.a), 0);
    EXPECT_EQ(s.set->SetPane(16, 0, 0, 10), 0);
    EXPECT_EQ(s.set->paneCount, 0);
    EXPECT_EQ(s.set->SetPane(15, 0, 0, 10), 1);
    EXPECT_EQ(s.set->paneCount, 16);
}

}  // namespace
