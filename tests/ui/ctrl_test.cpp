// The control base: layout, hit tests, routing inside a tree, focus, and what
// hiding and destroying release.
#include <gtest/gtest.h>

#include "tests/ui/ui_test_support.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

mtxIECtrl* Child(mtxIECtrl* parent, RECT r) {
    auto* c = new mtxIECtrl(parent);
    c->SetRect(r);
    c->Show(1);
    return c;
}

TEST(CtrlLayout, DockModesPlaceInTheParentsClientRect) {
    mtxIECtrl root(static_cast<mtxImageEditor*>(nullptr));
    root.SetRect({0, 0, 200, 100});
    mtxIECtrl* left = Child(&root, {5, 5, 35, 20});
    mtxIECtrl* top = Child(&root, {5, 5, 35, 20});
    mtxIECtrl* right = Child(&root, {5, 5, 35, 20});
    mtxIECtrl* bottom = Child(&root, {5, 5, 35, 20});
    mtxIECtrl* fill = Child(&root, {5, 5, 35, 20});
    left->SetDock(mtxIECtrl::kDockLeft);
    top->SetDock(mtxIECtrl::kDockTop);
    right->SetDock(mtxIECtrl::kDockRight);
    bottom->SetDock(mtxIECtrl::kDockBottom);
    fill->SetDock(mtxIECtrl::kDockFill);
    EXPECT_EQ(Str(left->rect), Str({0, 0, 35, 100}));
    EXPECT_EQ(Str(top->rect), Str({0, 0, 200, 20}));
    EXPECT_EQ(Str(right->rect), Str({170, 0, 200, 100}));
    EXPECT_EQ(Str(bottom->rect), Str({0, 85, 200, 100}));
    EXPECT_EQ(Str(fill->rect), Str({0, 0, 200, 100}));
    // Resizing the parent lays the children out again.
    root.SetRect({0, 0, 300, 50});
    EXPECT_EQ(Str(right->rect), Str({270, 0, 300, 50}));
    EXPECT_EQ(Str(bottom->rect), Str({0, 35, 300, 50}));
}

TEST(CtrlLayout, MinimumSizeWinsOverDockAndMaximumCaps) {
    mtxIECtrl root(static_cast<mtxImageEditor*>(nullptr));
    root.SetRect({0, 0, 50, 40});
    mtxIECtrl* c = Child(&root, {0, 0, 20, 20});
    c->SetMinSize(100, 0);
    c->SetDock(mtxIECtrl::kDockLeft);
    EXPECT_EQ(Str(c->rect), Str({0, 0, 100, 40}));
    c->SetMinSize(0, 0);
    c->SetMaxSize(0, 30);
    c->SetDock(mtxIECtrl::kDockFill);
    EXPECT_EQ(Str(c->rect), Str({0, 0, 50, 30}));
}

TEST(CtrlLayout, AnchorsOverrideEdgesAndFollowTheParent) {
    mtxIECtrl root(static_cast<mtxImageEditor*>(nullptr));
    root.SetRect({0, 0, 200, 100});
    mtxIECtrl* c = Child(&root, {0, 0, 20, 20});
    c->SetAnchor(mtxIECtrl::kEdgeLeft, 10);
    c->SetAnchor(mtxIECtrl::kEdgeRight, 15);
    c->SetAnchor(mtxIECtrl::kEdgeBottom, 5);
    c->Layout();
    EXPECT_EQ(Str(c->rect), Str({10, 0, 185, 95}));
    root.SetRect({0, 0, 100, 60});
    EXPECT_EQ(Str(c->rect), Str({10, 0, 85, 55}));
}

TEST(CtrlLayout, SetDockOnARootDoesNothing) {
    mtxIECtrl root(static_cast<mtxImageEditor*>(nullptr));
    root.SetRect({3, 4, 30, 40});
    root.SetDock(mtxIECtrl::kDockFill);
    EXPECT_EQ(root.dock, uint32_t(mtxIECtrl::kDockNone));
    EXPECT_EQ(Str(root.rect), Str({3, 4, 30, 40}));
}

TEST(Ctrl, HitTestIsHalfOpenAndCoordinatesAddUp) {
    mtxIECtrl root(static_cast<mtxImageEditor*>(nullptr));
    root.SetRect({10, 20, 110, 120});
    mtxIECtrl* child = Child(&root, {5, 6, 25, 26});
    EXPECT_TRUE(child->HitTest(5, 6));
    EXPECT_TRUE(child->HitTest(24, 25));
    EXPECT_FALSE(child->HitTest(25, 10));
    EXPECT_FALSE(child->HitTest(10, 26));
    POINT p = child->LocalToEditor(POINT{1, 2});
    EXPECT_EQ(p.x, 16);
    EXPECT_EQ(p.y, 28);
    POINT q = child->EditorToLocal(p);
    EXPECT_EQ(q.x, 1);
    EXPECT_EQ(q.y, 2);
    EXPECT_EQ(Str(child->EditorRect()), Str({15, 26, 35, 46}));
}

TEST(Ctrl, RemoveChildDestroysOnlyItsOwnChildren) {
    mtxIECtrl root(static_cast<mtxImageEditor*>(nullptr));
    mtxIECtrl other(static_cast<mtxImageEditor*>(nullptr));
    std::vector<std::string> log;
    bool gone = false;
    auto* spy = new Spy(&root, {0, 0, 5, 5}, 0, &log, "a");
    spy->destroyed = &gone;
    other.RemoveChild(spy);
    EXPECT_FALSE(gone);
    root.RemoveChild(spy);
    EXPECT_TRUE(gone);
    EXPECT_TRUE(root.children.empty());
}

TEST(CtrlRouting, ThePointGoesToTheFirstVisibleChildInItsOwnCoordinates) {
    Editor editor;
    std::vector<std::string> log;
    auto* panel = new Spy(editor.canvas.get(), {10, 10, 110, 110}, 0xFF00FF00, &log, "panel");
    auto* a = new Spy(panel, {10, 10, 50, 50}, 0xFFFF0000, &log, "a");
    new Spy(panel, {30, 30, 70, 70}, 0xFFFF0000, &log, "b");  // overlaps a, later in the list
    Mouse(editor, WM_LBUTTONDOWN, 45, 45, MK_LBUTTON);
    // The panel gets the point in the canvas's coordinates, a in the panel's.
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "panel:down(45,45)");
    EXPECT_EQ(log[1], "a:down(35,35)");
    EXPECT_EQ(editor.focus, a);
    EXPECT_TRUE(a->HasFocus());
    a->Show(0);  // hidden children take nothing
    log.clear();
    Mouse(editor, WM_LBUTTONDOWN, 45, 45, MK_LBUTTON);
    EXPECT_EQ(log.back(), "b:down(35,35)");  // b takes it, in the panel's coordinates too
}

TEST(CtrlFocus, OnlyAPressMovesTheFocus) {
    Editor editor;
    auto* field = new Spy(editor.canvas.get(), {0, 0, 50, 20});
    auto* other = new Spy(editor.canvas.get(), {0, 30, 50, 50});
    Click(editor, 10, 10);
    EXPECT_EQ(editor.focus, field);
    Mouse(editor, WM_MOUSEMOVE, 10, 40);
    EXPECT_EQ(editor.focus, field);
    EXPECT_EQ(editor.hover, other);
    Mouse(editor, WM_RBUTTONDOWN, 10, 40, MK_RBUTTON);
    EXPECT_EQ(editor.focus, other);
    EXPECT_FALSE(field->HasFocus());
}

TEST(CtrlFocus, HidingAParentReleasesFocusCaptureAndHoverBelowIt) {
    Editor editor;
    std::vector<std::string> log;
    auto* panel = new Spy(editor.canvas.get(), {0, 0, 100, 100}, 0, &log, "panel");
    auto* inner = new Spy(panel, {10, 10, 50, 50}, 0, &log, "inner");
    Click(editor, 20, 20);
    Mouse(editor, WM_MOUSEMOVE, 20, 20);
    editor.SetCapture(inner);
    ASSERT_EQ(editor.focus, inner);
    ASSERT_EQ(editor.hover, inner);
    log.clear();
    panel->Show(0);
    EXPECT_EQ(editor.focus, nullptr);
    EXPECT_EQ(editor.capture, nullptr);
    EXPECT_EQ(editor.hover, nullptr);
    EXPECT_FALSE(inner->HasFocus());
    EXPECT_EQ(log, std::vector<std::string>{"inner:capturelost"});
}

TEST(CtrlFocus, DestroyingAParentReleasesWhatItsSubtreeHeld) {
    Editor editor;
    std::vector<std::string> log;
    auto* panel = new Spy(editor.canvas.get(), {0, 0, 100, 100}, 0, &log, "panel");
    auto* inner = new Spy(panel, {10, 10, 50, 50}, 0, &log, "inner");
    Click(editor, 20, 20);
    editor.SetCapture(inner);
    Mouse(editor, WM_MOUSEMOVE, 20, 20);
    log.clear();
    editor.canvas->RemoveChild(panel);
    EXPECT_EQ(editor.focus, nullptr);
    EXPECT_EQ(editor.capture, nullptr);
    EXPECT_EQ(editor.hover, nullptr);
    EXPECT_TRUE(editor.canvas->children.empty());
    // Later events reach nothing that is gone (the sanitizers watch this).
    Click(editor, 20, 20);
    Mouse(editor, WM_MOUSEMOVE, 21, 21);
    EXPECT_EQ(editor.focus, editor.canvas.get());
}

TEST(CtrlFocus, DestroyingTheFocusControlItselfLeavesNoDanglingPointer) {
    Editor editor;
    auto* a = new Spy(editor.canvas.get(), {0, 0, 50, 50});
    Click(editor, 10, 10);
    editor.SetCapture(a);
    ASSERT_EQ(editor.focus, a);
    delete a;
    EXPECT_EQ(editor.focus, nullptr);
    EXPECT_EQ(editor.capture, nullptr);
    EXPECT_TRUE(editor.canvas->children.empty());
    Mouse(editor, WM_MOUSEMOVE, 10, 10);
}

}  // namespace
