// The editor as host: routing order, the modal stack, deferred deletion,
// actions posted and sent, double clicks across closing dialogs, timers and
// fitting rectangles.
#include <gtest/gtest.h>

#include "tests/ui/ui_test_support.h"
#include "ui/active_ctrl.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

struct Recorder : mtxIEActionProcessor {
    std::vector<std::pair<uint32_t, uint16_t>> got;
    int Process(uint32_t action, uint16_t value) override {
        got.emplace_back(action, value);
        return 1;
    }
};

// Pumps what is posted to the editor's window.
void Pump() {
    mtxOs::MSG msg;
    while (mtxOs::PeekMessage(msg, true)) mtxOs::DispatchMessage(msg);
}

TEST(EditorRouting, CaptureThenFocusThenTopDialogThenListedThenCanvas) {
    Editor editor;
    std::vector<std::string> log;
    auto* onCanvas = new Spy(editor.canvas.get(), {0, 0, 100, 100}, 0, &log, "canvas-child");
    auto* popup = new Spy(&editor, {150, 0, 200, 50}, 0, &log, "popup");
    editor.AddControl(popup);
    Click(editor, 160, 10);
    EXPECT_EQ(log.front(), "popup:down(160,10)");
    log.clear();
    Click(editor, 10, 10);
    EXPECT_EQ(log.front(), "canvas-child:down(10,10)");

    auto* dialog = new Spy(&editor, {50, 50, 250, 150}, 0, &log, "dialog");
    editor.PushModal(dialog);
    log.clear();
    // A click over the canvas control goes to the dialog (in editor coordinates).
    Click(editor, 10, 10);
    EXPECT_EQ(log.front(), "dialog:down(10,10)");
    // The focus control is asked first when the point is on it.
    auto* field = new Spy(dialog, {10, 10, 60, 30}, 0, &log, "field");
    Click(editor, 70, 70);
    ASSERT_EQ(editor.focus, field);
    log.clear();
    Click(editor, 70, 70);
    EXPECT_EQ(log.front(), "field:down(20,20)");
    // The capture holder gets everything, even far outside itself.
    editor.SetCapture(onCanvas);
    log.clear();
    Mouse(editor, WM_MOUSEMOVE, 300, 190);
    EXPECT_EQ(log, std::vector<std::string>{"canvas-child:move(300,190)"});
    editor.ReleaseCapture(onCanvas);
    EXPECT_EQ(editor.capture, nullptr);
    editor.RemoveControl(popup);
    delete popup;
}

TEST(EditorRouting, AFocusControlBelowAnOpenDialogTakesNoInput) {
    Editor editor;
    std::vector<std::string> log;
    auto* field = new Spy(editor.canvas.get(), {0, 0, 100, 100}, 0, &log, "field");
    Click(editor, 10, 10);
    ASSERT_EQ(editor.focus, field);
    editor.PushModal(new Spy(&editor, {150, 100, 250, 150}, 0, &log, "dialog"));
    log.clear();
    Click(editor, 10, 10);
    mtxOs::SendMessage(editor.Handle(), WM_CHAR, 'x', 0);
    EXPECT_EQ(log.front(), "dialog:down(10,10)");
    for (const std::string& line : log) EXPECT_NE(line, "field:char120");
}

// The wheel comes at a point of the screen and goes, in the receiver's
// parent's coordinates, to the control under the pointer by the same road as
// the buttons: the capture holder, a pop-up, the top dialog, else the canvas.
TEST(EditorRouting, TheWheelGoesToTheControlUnderThePointerWithItsTurnAndKeys) {
    Editor editor;
    std::vector<std::string> log;
    auto* left = new Spy(editor.canvas.get(), {10, 10, 110, 110}, 0, &log, "left");
    auto* inner = new Spy(left, {20, 20, 60, 60}, 0, &log, "inner");
    auto* right = new Spy(editor.canvas.get(), {150, 0, 250, 100}, 0, &log, "right");
    right->usesWheel = true;
    // Under the pointer, down the tree: nothing below used it, so nothing did.
    EXPECT_EQ(Wheel(editor, 30, 40, WHEEL_DELTA, MK_CONTROL), 0);
    EXPECT_EQ(log,
              (std::vector<std::string>{"left:wheel(30,40),120,8", "inner:wheel(20,30),120,8"}));
    log.clear();
    EXPECT_EQ(Wheel(editor, 160, 90, -2 * WHEEL_DELTA), 1);
    EXPECT_EQ(log, std::vector<std::string>{"right:wheel(160,90),-240,0"});
    log.clear();
    Wheel(editor, 130, 10, WHEEL_DELTA);  // between them: the canvas alone
    EXPECT_TRUE(log.empty());

    editor.SetCapture(inner);
    Wheel(editor, 200, 50, WHEEL_DELTA, MK_SHIFT);
    EXPECT_EQ(log, std::vector<std::string>{"inner:wheel(190,40),120,4"});
    editor.ReleaseCapture(inner);
    log.clear();
    auto* dialog = new Spy(&editor, {100, 50, 300, 150}, 0, &log, "dialog");
    editor.PushModal(dialog);
    Wheel(editor, 30, 40, WHEEL_DELTA);  // over the canvas, under a dialog
    EXPECT_EQ(log, std::vector<std::string>{"dialog:wheel(30,40),120,0"});
}

TEST(EditorModal, PushingReleasesTheCaptureAndClosingClosesThatDialog) {
    Editor editor;
    std::vector<std::string> log;
    auto* holder = new Spy(editor.canvas.get(), {0, 0, 10, 10}, 0, &log, "holder");
    editor.SetCapture(holder);
    auto* lower = new Spy(&editor, {0, 0, 100, 100}, 0, &log, "lower");
    auto* upper = new Spy(&editor, {0, 0, 50, 50}, 0, &log, "upper");
    editor.PushModal(lower);
    EXPECT_EQ(editor.capture, nullptr);
    editor.PushModal(upper);
    bool lowerGone = false;
    lower->destroyed = &lowerGone;
    editor.CloseModal(lower, true);  // not the top one
    EXPECT_TRUE(lowerGone);          // no message running: deleted at once
    EXPECT_EQ(editor.TopModal(), upper);
    ASSERT_EQ(editor.modal.size(), 1u);
}

// A button that closes its dialog when released, as OK does.
class CloseButton : public Spy {
  public:
    using Spy::Spy;
    mtxIECtrl* dialog = nullptr;
    int OnLButtonUp(int x, int y, uint32_t keys) override {
        Spy::OnLButtonUp(x, y, keys);
        editor->CloseModal(dialog, true);
        // Still whole: deletion waits until the message has returned.
        Log("still-here");
        return 1;
    }
};

TEST(EditorModal, AClosedDialogIsDeletedAfterTheMessageAndADoubleClickSparesTheOneBelow) {
    Editor editor;
    std::vector<std::string> log;
    auto* below = new Spy(&editor, {0, 0, 200, 200}, 0, &log, "below");
    auto* belowOk = new CloseButton(below, {10, 10, 60, 30}, 0, &log, "belowOk");
    belowOk->dialog = below;
    editor.PushModal(below);
    auto* top = new Spy(&editor, {0, 0, 200, 200}, 0, &log, "top");
    auto* ok = new CloseButton(top, {10, 10, 60, 30}, 0, &log, "ok");
    ok->dialog = top;
    editor.PushModal(top);
    bool topGone = false, belowGone = false;
    top->destroyed = &topGone;
    below->destroyed = &belowGone;

    Mouse(editor, WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    Mouse(editor, WM_LBUTTONUP, 20, 20);
    EXPECT_TRUE(topGone);
    EXPECT_EQ(log.back(), "ok:still-here");
    // The second click of the double click lands where OK was.
    log.clear();
    Mouse(editor, WM_LBUTTONDBLCLK, 20, 20, MK_LBUTTON);
    Mouse(editor, WM_LBUTTONUP, 20, 20);
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(belowGone);
    // A fresh click does reach it.
    Click(editor, 20, 20);
    EXPECT_TRUE(belowGone);
}

TEST(EditorActions, APostedActionReachesOnlyALiveProcessor) {
    Editor editor;
    Recorder kept;
    auto* gone = new Recorder;
    auto* button = new mtxIEActiveCtrl(editor.canvas.get());
    button->SetAction(&kept, 7, 0);
    button->Notify(3);
    editor.PostCommand(gone, 9, 1);
    delete gone;
    EXPECT_TRUE(kept.got.empty());  // posted: nothing before the queue runs
    Pump();
    ASSERT_EQ(kept.got.size(), 1u);
    EXPECT_EQ(kept.got[0], std::make_pair(7u, uint16_t(3)));
    button->SetAction(&kept, 8, 1);
    button->Notify(0xFFFF);
    ASSERT_EQ(kept.got.size(), 2u);
    EXPECT_EQ(kept.got[1], std::make_pair(8u, uint16_t(0xFFFF)));
    // No target or no code: nothing is sent.
    button->SetAction(&kept, 0, 1);
    button->Notify(1);
    EXPECT_EQ(kept.got.size(), 2u);
}

TEST(EditorActions, AMenuItemGoesToTheMenuTarget) {
    Editor editor;
    Recorder target;
    editor.SetMenuTarget(&target);
    mtxOs::SendMessage(editor.Handle(), WM_COMMAND, 0x10042, 0);
    ASSERT_EQ(target.got.size(), 1u);
    EXPECT_EQ(target.got[0], std::make_pair(0x42u, uint16_t(0)));
}

TEST(EditorTimers, EveryRootReceivesTheTimerButNotAClosedDialog) {
    Editor editor;
    std::vector<std::string> log;
    new Spy(editor.canvas.get(), {0, 0, 10, 10}, 0, &log, "tool");
    auto* dialog = new Spy(&editor, {0, 0, 10, 10}, 0, &log, "dialog");
    editor.PushModal(dialog);
    mtxOs::SendMessage(editor.Handle(), WM_TIMER, 5, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"tool:timer5", "dialog:timer5"}));
    editor.CloseModal(dialog, true);
    log.clear();
    mtxOs::SendMessage(editor.Handle(), WM_TIMER, 6, 0);
    EXPECT_EQ(log, std::vector<std::string>{"tool:timer6"});
}

TEST(EditorGeometry, FitRectKeepsTheTopLeftCornerReachable) {
    Editor editor(320, 200);
    EXPECT_EQ(Str(editor.FitRect({300, 190, 350, 220})), Str({270, 170, 320, 200}));
    EXPECT_EQ(Str(editor.FitRect({-10, -5, 20, 10})), Str({0, 0, 30, 15}));
    // Larger than the client area: the top-left corner (title bar) stays inside.
    EXPECT_EQ(Str(editor.FitRect({100, 100, 600, 400})), Str({0, 0, 500, 300}));
    EXPECT_EQ(Str(editor.CenterRect(400, 300)), Str({0, 0, 400, 300}));
    EXPECT_EQ(Str(editor.CenterRect(100, 50)), Str({110, 75, 210, 125}));
}

}  // namespace
