// Check boxes, radio groups, trigger groups, the spin with its limits and
// the slider, and the progress bar's text.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/check_box.h"
#include "ui/dialog.h"
#include "ui/edit.h"
#include "ui/progress_bar.h"
#include "ui/radio_button.h"
#include "ui/slider.h"
#include "ui/spin.h"
#include "ui/spin_button.h"
#include "ui/trigger_group.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

struct Controls : ::testing::Test {
    Controls() : editor(400, 300) { testing_support::SharedApp(); }
    Editor editor;
    ActionLog log;
};

TEST_F(Controls, CheckBoxFlipsAndNotifiesTheNewStateByMouseAndSpace) {
    auto* box = new mtxIECheckBox(editor.canvas.get());
    box->rect = {10, 10, 110, 28};
    box->Show(1);
    box->SetAction(&log, 3, 1);
    Click(editor, 15, 15);
    EXPECT_TRUE(box->IsChecked());
    Key(editor, VK_SPACE);
    EXPECT_FALSE(box->IsChecked());
    ASSERT_EQ(log.got.size(), 2u);
    EXPECT_EQ(log.got[0].second, 1);
    EXPECT_EQ(log.got[1].second, 0);
}

TEST_F(Controls, RadioGroupKeepsOneChosenAndArrowsMoveTheChoice) {
    auto* group = new mtxIERadioGroup(editor.canvas.get());
    group->rect = {10, 10, 150, 100};
    group->SetAction(&log, 9, 1);
    auto* a = group->AddButton("One");
    auto* b = group->AddButton("Two");
    auto* c = group->AddButton("Three");
    POINT pb = b->LocalToEditor(POINT{3, 3});
    Click(editor, pb.x, pb.y);
    EXPECT_EQ(group->Selected(), 2);
    EXPECT_TRUE(b->IsPressed());
    EXPECT_FALSE(a->IsPressed());
    Click(editor, pb.x, pb.y);  // the chosen one again: no new report
    ASSERT_EQ(log.got.size(), 1u);
    EXPECT_EQ(log.got[0], std::make_pair(9u, uint16_t(2)));
    Key(editor, VK_DOWN);
    EXPECT_EQ(group->Selected(), 3);
    EXPECT_TRUE(c->IsPressed());
    EXPECT_FALSE(b->IsPressed());
    Key(editor, VK_DOWN);  // round to the first
    EXPECT_EQ(group->Selected(), 1);
    Key(editor, VK_UP);
    EXPECT_EQ(group->Selected(), 3);
    EXPECT_EQ(editor.focus, c);
    int pressed = int(a->IsPressed()) + int(b->IsPressed()) + int(c->IsPressed());
    EXPECT_EQ(pressed, 1);
}

TEST_F(Controls, TriggerGroupReleasesTheOthers) {
    auto* group = new mtxIETriggerGroup(editor.canvas.get());
    group->SetAction(&log, 4, 1);
    mtxIEButton* buttons[3];
    for (int i = 0; i < 3; ++i) {
        buttons[i] = new mtxIEButton(editor.canvas.get());
        buttons[i]->style |= mtxIEButton::kStaysPressed;
        buttons[i]->rect = {10 + 30 * i, 10, 34 + 30 * i, 34};
        buttons[i]->Show(1);
        group->AddMember(buttons[i]);
    }
    Click(editor, 15, 15);
    Click(editor, 75, 15);
    EXPECT_FALSE(buttons[0]->IsPressed());
    EXPECT_TRUE(buttons[2]->IsPressed());
    ASSERT_EQ(log.got.size(), 2u);
    EXPECT_EQ(log.got[1].second, 3);
}

TEST_F(Controls, SpinKeepsItsLimitsFromEveryInput) {
    auto* spin = new mtxIESpin(editor.canvas.get());
    spin->rect = {10, 10, 110, 30};
    spin->LayoutChildren();
    spin->SetAction(&log, 6, 1);
    spin->SetRange(-5, 20);
    spin->SetValue(18);
    EXPECT_EQ(spin->edit->Text(), "18");
    // The up arrow button: pressed and released, one step; it stops at 20.
    for (int i = 0; i < 4; ++i) spin->Process(mtxIESpin::kSpinButton, mtxIESpinButton::kUp);
    EXPECT_EQ(spin->Value(), 20);
    EXPECT_EQ(spin->edit->Text(), "20");
    EXPECT_EQ(log.got.size(), 2u);  // 19, 20: nothing once at the limit
    // Keys in the field.
    spin->edit->SetFocus();
    Key(editor, VK_NEXT);
    EXPECT_EQ(spin->Value(), 18);
    for (int i = 0; i < 40; ++i) Key(editor, VK_DOWN);
    EXPECT_EQ(spin->Value(), -5);
    // Typing: a number above the range is cut at once.
    spin->edit->SetText("");
    Type(editor, "99");
    EXPECT_EQ(spin->Value(), 20);
    EXPECT_EQ(spin->edit->Text(), "20");
    // A minus sign is accepted since the range goes below 0.
    spin->edit->SetText("");
    Type(editor, "-3");
    EXPECT_EQ(spin->Value(), -3);
    // The drop button shows the slider below the field; it reports too.
    spin->Process(mtxIESpin::kDropButton, 0);
    ASSERT_TRUE(spin->SliderShown());
    EXPECT_EQ(spin->slider->Value(), -3);
    RECT s = spin->slider->rect;
    Mouse(editor, WM_LBUTTONDOWN, s.right - 1, s.top + 5, MK_LBUTTON);
    EXPECT_EQ(spin->Value(), 20);
    Mouse(editor, WM_LBUTTONUP, s.right - 1, s.top + 5);
    EXPECT_FALSE(spin->SliderShown());
}

// In a dialog, the drop button's slider opens over the dialog by mouse, and
// goes once the user clicks another control or the dialog itself.
TEST_F(Controls, SpinSliderInADialogShowsAndGoesWhenTheUserTurnsAway) {
    auto* dialog = new mtxIEDialog(&editor, 1);
    dialog->SetRect({40, 40, 340, 240});
    auto* spin = new mtxIESpin(dialog);
    spin->SetRect({20, 40, 120, 60});
    spin->SetRange(0, 100);
    auto* other = new mtxIECheckBox(dialog);
    other->SetRect({20, 140, 120, 158});
    other->Show(1);
    editor.AddDirty(editor.clientRect);
    editor.Paint();
    for (int round = 0; round < 2; ++round) {
        POINT drop = spin->dropButton->LocalToEditor(POINT{4, 4});
        Click(editor, drop.x, drop.y);
        ASSERT_TRUE(spin->SliderShown()) << round;
        RECT s = spin->slider->rect;
        EXPECT_EQ(editor.InputTarget(s.left + 60, s.top + 5), spin->slider);
        if (round == 0)
            Click(editor, 60 + 10, 180 + 8);  // the check box
        else
            Click(editor, 40 + 250, 40 + 150);  // the dialog's face
        EXPECT_FALSE(spin->SliderShown()) << round;
    }
    EXPECT_TRUE(other->IsChecked());
}

TEST_F(Controls, SpinButtonRepeatsWhileHeld) {
    auto* spin = new mtxIESpin(editor.canvas.get());
    spin->rect = {10, 10, 110, 30};
    spin->LayoutChildren();
    POINT up = spin->spinButton->up->LocalToEditor(POINT{3, 3});
    Mouse(editor, WM_LBUTTONDOWN, up.x, up.y, MK_LBUTTON);
    EXPECT_EQ(spin->Value(), 1);
    uintptr_t id = spin->spinButton->up->timerId;
    for (int i = 0; i < 10; ++i) SendMessage(editor.Handle(), WM_TIMER, id, 0);
    EXPECT_EQ(spin->Value(), 4);  // 400, 450 and 500 ms
    Mouse(editor, WM_LBUTTONUP, up.x, up.y);
    EXPECT_EQ(spin->Value(), 4);
}

TEST_F(Controls, SliderStaysInItsRange) {
    auto* slider = new mtxIESlider(editor.canvas.get());
    slider->rect = {10, 10, 110, 30};
    slider->Show(1);
    slider->SetAction(&log, 2, 1);
    slider->SetRange(10, 50);
    EXPECT_EQ(slider->Value(), 10);
    Mouse(editor, WM_LBUTTONDOWN, 5, 20, MK_LBUTTON);  // captured below: drag past both ends
    Mouse(editor, WM_LBUTTONUP, 5, 20);
    Mouse(editor, WM_LBUTTONDOWN, 60, 20, MK_LBUTTON);
    EXPECT_EQ(slider->Value(), 30);
    Mouse(editor, WM_MOUSEMOVE, 500, 20, MK_LBUTTON);
    EXPECT_EQ(slider->Value(), 50);
    Mouse(editor, WM_MOUSEMOVE, -500, 20, MK_LBUTTON);
    EXPECT_EQ(slider->Value(), 10);
    Mouse(editor, WM_LBUTTONUP, -500, 20);
    Key(editor, VK_LEFT);
    EXPECT_EQ(slider->Value(), 10);
    Key(editor, VK_END);
    Key(editor, VK_RIGHT);
    EXPECT_EQ(slider->Value(), 50);
    Key(editor, VK_NEXT);
    EXPECT_EQ(slider->Value(), 46);
    slider->SetRange(0, 20);
    EXPECT_EQ(slider->Value(), 20);
}

TEST_F(Controls, ProgressBarShowsTheValueAndPercent) {
    auto* bar = new mtxIEProgressBar(editor.canvas.get());
    EXPECT_EQ(bar->Width(), 200);
    EXPECT_EQ(bar->Height(), 25);
    bar->SetValue(42);
    EXPECT_EQ(bar->Text(), "42 %");
    bar->SetValue(150);
    EXPECT_EQ(bar->Text(), "150 %");
    bar->SetValue(50);
    editor.Paint();
    Pixels p = ReadBack(editor);
    // Filled on the left half, white on the right.
    EXPECT_NE(p.At(20, 3), 0xFFFFFFFFu);
    EXPECT_EQ(p.At(180, 3), 0xFFFFFFFFu);
}

}  // namespace
