// List boxes (selection, scrolling, type-ahead, choosing), the combo box by
// mouse and keyboard, and tabs.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/combo_box.h"
#include "ui/dialog.h"
#include "ui/frame.h"
#include "ui/list_box.h"
#include "ui/list_box_img.h"
#include "ui/tabs.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

struct Lists : ::testing::Test {
    Lists() : editor(400, 300) { testing_support::SharedApp(); }
    Editor editor;
    ActionLog log;
};

mtxIEListBox* MakeList(mtxImageEditor& editor, ActionLog& log) {
    auto* list = new mtxIEListBox(editor.canvas.get());
    list->SetRect({10, 10, 150, 10 + 4 * list->ItemHeight() + 2});
    list->Layout();
    for (const char* name : {"apple", "Banana", "berry", "cherry", "date", "fig", "grape"})
        list->AddItem(name);
    list->SetAction(&log, 1, 1);
    list->chooseAction = 2;
    return list;
}

TEST_F(Lists, ClicksSelectArrowsMoveAndTheViewFollows) {
    mtxIEListBox* list = MakeList(editor, log);
    int h = list->ItemHeight();
    Click(editor, 30, 10 + 1 + h + h / 2);
    EXPECT_EQ(list->Selection(), 1);
    EXPECT_EQ(editor.focus, list);
    for (int i = 0; i < 4; ++i) Key(editor, VK_DOWN);
    EXPECT_EQ(list->Selection(), 5);
    EXPECT_GE(list->TopIndex(), 2);  // scrolled so that 5 shows
    EXPECT_LT(5, list->TopIndex() + list->VisibleCount());
    Key(editor, VK_END);
    Key(editor, VK_DOWN);
    EXPECT_EQ(list->Selection(), 6);
    Key(editor, VK_HOME);
    EXPECT_EQ(list->Selection(), 0);
    EXPECT_EQ(list->TopIndex(), 0);
    EXPECT_EQ(log.got.back(), std::make_pair(1u, uint16_t(0)));
}

TEST_F(Lists, TypeAheadFindsByPrefixAndSteppingByTheSameLetter) {
    mtxIEListBox* list = MakeList(editor, log);
    list->SetFocus();
    Type(editor, "b");
    EXPECT_EQ(list->Selection(), 1);  // Banana, without regard to case
    Type(editor, "e");
    EXPECT_EQ(list->Selection(), 2);  // "be": berry
    list->Select(-1);                 // starts the type-ahead afresh
    // The same letter again steps through the b's.
    Type(editor, "b");
    Type(editor, "b");
    EXPECT_EQ(list->Selection(), 2);
    Type(editor, "x");  // no item: the selection stays
    EXPECT_EQ(list->Selection(), 2);
}

TEST_F(Lists, DoubleClickAndEnterChoose) {
    mtxIEListBox* list = MakeList(editor, log);
    int h = list->ItemHeight();
    Mouse(editor, WM_LBUTTONDOWN, 30, 12 + 2 * h, MK_LBUTTON);
    Mouse(editor, WM_LBUTTONUP, 30, 12 + 2 * h);
    Mouse(editor, WM_LBUTTONDBLCLK, 30, 12 + 2 * h, MK_LBUTTON);
    Mouse(editor, WM_LBUTTONUP, 30, 12 + 2 * h);
    ASSERT_FALSE(log.got.empty());
    EXPECT_EQ(log.got.back(), std::make_pair(2u, uint16_t(2)));
    Key(editor, VK_DOWN);
    Key(editor, VK_RETURN);
    EXPECT_EQ(log.got.back(), std::make_pair(2u, uint16_t(3)));
    list->Clear();
    EXPECT_EQ(list->Selection(), -1);
    Key(editor, VK_RETURN);  // nothing to choose
    EXPECT_EQ(log.got.back(), std::make_pair(2u, uint16_t(3)));
}

TEST_F(Lists, ComboBoxByKeyboardAndByItsDropDown) {
    auto* combo = new mtxIEComboBox(editor.canvas.get());
    combo->rect = {10, 10, 130, 30};
    combo->Show(1);
    combo->SetAction(&log, 8, 1);
    for (const char* name : {"Red", "Green", "Blue", "Black"}) combo->AddItem(name);
    combo->Select(0);
    combo->SetFocus();
    Key(editor, VK_DOWN);
    Key(editor, VK_DOWN);
    EXPECT_EQ(combo->Selection(), 2);
    Key(editor, VK_UP);
    EXPECT_EQ(combo->Selection(), 1);
    Key(editor, VK_UP);
    Key(editor, VK_UP);  // not before the first
    EXPECT_EQ(combo->Selection(), 0);
    EXPECT_EQ(log.got.size(), 4u);
    Type(editor, "b");
    EXPECT_EQ(combo->ItemText(combo->Selection()), "Blue");
    Type(editor, "b");
    EXPECT_EQ(combo->ItemText(combo->Selection()), "Black");
    EXPECT_FALSE(combo->DroppedDown());

    // Open with a click; the list lies below; moving in it does not choose;
    // Enter does, and closes it.
    Click(editor, 20, 20);
    ASSERT_TRUE(combo->DroppedDown());
    EXPECT_EQ(combo->list->rect.top, 30);
    size_t before = log.got.size();
    Key(editor, VK_HOME);
    EXPECT_EQ(log.got.size(), before);
    Key(editor, VK_RETURN);
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_EQ(combo->Selection(), 0);
    // A click on an item of the list chooses it.
    Click(editor, 20, 20);
    ASSERT_TRUE(combo->DroppedDown());
    int h = combo->list->ItemHeight();
    Click(editor, 30, 31 + 2 * h + h / 2);
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_EQ(combo->Selection(), 2);
    EXPECT_EQ(log.got.back(), std::make_pair(8u, uint16_t(2)));
    // Escape closes without choosing; losing the focus closes too.
    Click(editor, 20, 20);
    Key(editor, VK_ESCAPE);
    EXPECT_FALSE(combo->DroppedDown());
    Click(editor, 20, 20);
    editor.SetFocusControl(editor.canvas.get());
    EXPECT_FALSE(combo->DroppedDown());
}

// A list opened from a modal dialog lies over it: it shows, and a click on
// one of its items reaches it rather than the dialog below.
TEST_F(Lists, ComboBoxInADialogShowsItsListAndTakesClicks) {
    auto* dialog = new mtxIEDialog(&editor, 1);
    dialog->SetRect({40, 40, 300, 260});
    auto* combo = new mtxIEComboBox(dialog);
    combo->SetRect({20, 40, 200, 60});
    combo->SetAction(&log, 8, 1);
    for (const char* name : {"Bitmap", "PNG", "JPEG"}) combo->AddItem(name);
    combo->Select(0);
    combo->Show(1);
    editor.AddDirty(editor.clientRect);
    editor.Paint();
    int h = combo->list->ItemHeight();
    POINT firstItem = {40 + 60, 40 + 60 + 1 + h / 2};
    uint32_t under = ReadBack(editor).At(firstItem.x, firstItem.y);

    Click(editor, 40 + 190, 40 + 50);  // the arrow
    ASSERT_TRUE(combo->DroppedDown());
    // The chosen item is drawn selected, in blue, where the dialog's grey
    // face was.
    uint32_t shown = ReadBack(editor).At(firstItem.x, firstItem.y);
    int red = int(shown >> 16 & 0xFF), blue = int(shown & 0xFF);
    EXPECT_FALSE(Near(shown, under, 40)) << std::hex << shown << " over " << under;
    EXPECT_GT(blue, red + 60) << std::hex << shown;

    Click(editor, firstItem.x, firstItem.y + 2 * h);
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_EQ(combo->Selection(), 2);
    ASSERT_FALSE(log.got.empty());
    EXPECT_EQ(log.got.back(), std::make_pair(8u, uint16_t(2)));
    EXPECT_EQ(editor.TopModal(), dialog);
}

TEST_F(Lists, TabsByMouseAndArrows) {
    auto* tabs = new mtxIETabs(editor.canvas.get());
    tabs->rect = {0, 0, 300, 24};
    tabs->Show(1);
    tabs->SetAction(&log, 3, 1);
    tabs->AddTab("General");
    tabs->AddTab("Colour");
    tabs->AddTab("Size");
    RECT second = tabs->TabRect(1);
    Click(editor, second.left + 2, 10);
    EXPECT_EQ(tabs->Selection(), 1);
    Key(editor, VK_RIGHT);
    Key(editor, VK_RIGHT);
    EXPECT_EQ(tabs->Selection(), 0);
    Key(editor, VK_LEFT);
    EXPECT_EQ(tabs->Selection(), 2);
    EXPECT_EQ(log.got.size(), 4u);
}

TEST_F(Lists, FrameHoldsItsControlsBelowTheTitle) {
    auto* frame = new mtxIEFrame(editor.canvas.get());
    frame->SetTitle("Background");
    RECT c = frame->GetClientRect();
    EXPECT_GT(c.top, 0);
    EXPECT_LT(c.bottom, frame->Height());
}

}  // namespace

namespace {

TEST_F(Lists, ImageListDrawsItsPicturesAndGrowsItsRows) {
    auto* list = new mtxIEListBoxImg(editor.canvas.get());
    list->SetRect({10, 10, 200, 150});
    list->Layout();
    std::vector<uint32_t> red(20 * 30, 0xFFFF0000), green(8 * 8, 0xFF00FF00);
    list->AddImageItem("red", red.data(), 20, 30);
    list->AddImageItem("green", green.data(), 8, 8);
    list->AddImageItem("none", nullptr, 0, 0);
    list->AddImageItem("too big", red.data(), 300, 2);  // refused, the item stays
    EXPECT_EQ(list->Count(), 4);
    EXPECT_EQ(list->ItemHeight(), 32);
    editor.Paint();
    Pixels p = ReadBack(editor);
    RECT c = list->GetClientRect();
    int x = 10 + c.left + 2, y = 10 + c.top + 1;
    EXPECT_EQ(p.At(x + 5, y + 5), 0xFFFF0000u);
    EXPECT_EQ(p.At(x + 3, y + 32 + 3), 0xFF00FF00u);
    // A device loss lets the textures go; the next frame makes them again.
    list->OnDeviceLost();
    EXPECT_EQ(list->pictures[0].texture, nullptr);
    editor.AddDirty(editor.clientRect);
    editor.Paint();
    EXPECT_NE(list->pictures[0].texture, nullptr);
    EXPECT_EQ(ReadBack(editor).At(x + 5, y + 5), 0xFFFF0000u);
}

}  // namespace
