// The button's states: release outside, notify on press, auto-repeat driven
// by timer messages, toggle, stays pressed and the keyboard.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/button.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

struct ButtonFixture : ::testing::Test {
    ButtonFixture() {
        testing_support::SharedApp();  // timer ids come from its pool
        button = new mtxIEButton(editor.canvas.get());
        button->rect = {10, 10, 90, 35};
        button->Show(1);
        button->SetAction(&log, 7, 1);
    }
    void Timer(uintptr_t id) { SendMessage(editor.Handle(), WM_TIMER, id, 0); }
    Editor editor;
    ActionLog log;
    mtxIEButton* button;
};

TEST_F(ButtonFixture, ReleaseOutsideSendsNothingAndReleaseInsideNotifiesOnce) {
    Mouse(editor, WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    EXPECT_TRUE(button->IsPressed());
    Mouse(editor, WM_MOUSEMOVE, 200, 150, MK_LBUTTON);
    EXPECT_FALSE(button->IsPressed());  // the pressed look leaves with the pointer
    Mouse(editor, WM_LBUTTONUP, 200, 150);
    EXPECT_TRUE(log.got.empty());
    EXPECT_EQ(editor.capture, nullptr);

    Mouse(editor, WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    Mouse(editor, WM_MOUSEMOVE, 200, 150, MK_LBUTTON);
    Mouse(editor, WM_MOUSEMOVE, 30, 20, MK_LBUTTON);  // back over it
    EXPECT_TRUE(button->IsPressed());
    Mouse(editor, WM_LBUTTONUP, 30, 20);
    ASSERT_EQ(log.got.size(), 1u);
    EXPECT_EQ(log.got[0], std::make_pair(7u, uint16_t(0)));
    EXPECT_FALSE(button->IsPressed());
}

TEST_F(ButtonFixture, NotifyOnPressSendsOnPressAndNothingOnRelease) {
    button->style |= mtxIEButton::kNotifyOnPress;
    Mouse(editor, WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    EXPECT_EQ(log.got.size(), 1u);
    Mouse(editor, WM_LBUTTONUP, 20, 20);
    EXPECT_EQ(log.got.size(), 1u);
}

TEST_F(ButtonFixture, AutoRepeatWaits400MsThenNotifiesEvery50Ms) {
    button->style |= mtxIEButton::kAutoRepeat;
    Mouse(editor, WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    EXPECT_EQ(log.got.size(), 1u);  // the press
    uintptr_t id = button->timerId;
    ASSERT_NE(id, 0u);
    for (int tick = 1; tick <= 7; ++tick) Timer(id);  // 350 ms
    EXPECT_EQ(log.got.size(), 1u);
    Timer(id);  // 400 ms
    EXPECT_EQ(log.got.size(), 2u);
    Timer(id);
    Timer(id);
    EXPECT_EQ(log.got.size(), 4u);
    Timer(id + 1000);  // someone else's timer
    EXPECT_EQ(log.got.size(), 4u);
    Mouse(editor, WM_LBUTTONUP, 20, 20);
    EXPECT_EQ(log.got.size(), 4u);  // no extra notification on release
    EXPECT_EQ(button->timerId, 0u);
    Timer(id);
    EXPECT_EQ(log.got.size(), 4u);
}

TEST_F(ButtonFixture, ToggleFlipsOnEveryPressAndLosingTheCaptureKeepsIt) {
    button->style |= mtxIEButton::kToggle;
    Click(editor, 20, 20);
    EXPECT_TRUE(button->IsPressed());
    Click(editor, 20, 20);
    EXPECT_FALSE(button->IsPressed());
    EXPECT_EQ(log.got.size(), 2u);
    Mouse(editor, WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    editor.ReleaseCapture(nullptr);
    SendMessage(editor.Handle(), WM_CAPTURECHANGED, 0, 0);
    EXPECT_TRUE(button->IsPressed());
}

TEST_F(ButtonFixture, StaysPressedNotifiesOnPressOnly) {
    button->style |= mtxIEButton::kStaysPressed;
    Click(editor, 20, 20);
    EXPECT_TRUE(button->IsPressed());
    Click(editor, 20, 20);  // already down: nothing more
    EXPECT_EQ(log.got.size(), 1u);
}

TEST_F(ButtonFixture, CaptureLostPopsThePressedLookWithoutNotifying) {
    Mouse(editor, WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    SendMessage(editor.Handle(), WM_CAPTURECHANGED, 0, 0);
    EXPECT_FALSE(button->IsPressed());
    Mouse(editor, WM_LBUTTONUP, 20, 20);
    EXPECT_TRUE(log.got.empty());
}

TEST_F(ButtonFixture, SpaceAndEnterPressTheFocusedButton) {
    button->SetFocus();
    Key(editor, VK_SPACE);
    Key(editor, VK_RETURN);
    EXPECT_EQ(log.got.size(), 2u);
}

TEST_F(ButtonFixture, AutoWidthGrowsToTheCaption) {
    button->style |= mtxIEButton::kAutoWidth;
    button->SetCaption("A rather long caption for a button");
    EXPECT_GT(button->Width(), 150);
}

TEST_F(ButtonFixture, DrawsItsFaceAndCaption) {
    button->SetCaption("Go");
    editor.Paint();
    Pixels p = ReadBack(editor);
    EXPECT_NE(p.At(15, 15), 0xFFFFFFFFu);  // the face, not the cleared background
    bool ink = false;
    for (int y = 12; y < 33; ++y)
        for (int x = 12; x < 88; ++x)
            if ((p.At(x, y) & 0xFFFFFF) < 0x404040) ink = true;
    EXPECT_TRUE(ink);
}

}  // namespace
