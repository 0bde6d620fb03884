// The text field: its character filters, the length caps, the leading-zero
// rule, the cut at the visible width, keys, selection and the clipboard.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/edit.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

struct EditFixture : ::testing::Test {
    EditFixture() : editor(400, 200) {
        testing_support::SharedApp();
        edit = new mtxIEEdit(editor.canvas.get());
        edit->rect = {10, 10, 110, 10 + edit->Height()};
        edit->Show(1);
        edit->SetAction(&log, 5, 1);
        edit->SetFocus();
    }
    Editor editor;
    ActionLog log;
    mtxIEEdit* edit;
};

TEST_F(EditFixture, FiltersFollowTheMode) {
    Type(editor, "a1 -.B");
    EXPECT_EQ(edit->Text(), "a1B");
    EXPECT_EQ(log.got.size(), 3u);
    edit->SetText("");
    edit->mode = mtxIEEdit::kSpace | mtxIEEdit::kMinus;
    Type(editor, "a -b");
    EXPECT_EQ(edit->Text(), "a -b");
    edit->SetText("");
    edit->mode = mtxIEEdit::kDigits | mtxIEEdit::kScroll;
    Type(editor, "x4y2");
    EXPECT_EQ(edit->Text(), "42");
    edit->SetText("");
    edit->mode = mtxIEEdit::kAnyText | mtxIEEdit::kScroll;
    Type(editor, "~/a.b c\t");
    EXPECT_EQ(edit->Text(), "~/a.b c");
}

TEST_F(EditFixture, ALeadingZeroGivesWayInDigitMode) {
    edit->mode = mtxIEEdit::kDigits;
    Type(editor, "0");
    EXPECT_EQ(edit->Text(), "0");
    Type(editor, "7");
    EXPECT_EQ(edit->Text(), "7");
    EXPECT_EQ(edit->caret, 1u);
    edit->SetText("05");
    edit->SetCaret(0);
    Type(editor, "3");  // the zero goes, the caret does not fall below 0
    EXPECT_EQ(edit->Text(), "35");
    EXPECT_EQ(edit->caret, 1u);
}

TEST_F(EditFixture, LengthCapsAndTheRepeatCount) {
    edit->mode = mtxIEEdit::kScroll;
    edit->maxLength = 5;
    SendMessage(editor.Handle(), WM_CHAR, 'a', 9);  // repeat count 9
    EXPECT_EQ(edit->Text(), "aaaaa");
    Type(editor, "b");
    EXPECT_EQ(edit->Text(), "aaaaa");
    // However large maxLength is, a short field stops at 64.
    edit->SetText("");
    edit->maxLength = 256;
    for (int i = 0; i < 100; ++i) Type(editor, "x");
    EXPECT_EQ(edit->Chars().size(), 64u);
    edit->mode |= mtxIEEdit::kAnyText;
    Type(editor, "y");
    EXPECT_EQ(edit->Chars().size(), 65u);
}

TEST_F(EditFixture, WithoutScrollingTheTextStopsAtTheVisibleWidth) {
    SendMessage(editor.Handle(), WM_CHAR, 'W', 60);
    size_t n = edit->Chars().size();
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, 60u);
    EXPECT_LE(editor.controlFont->Width(edit->Text()), edit->VisibleWidth());
    Type(editor, "W");
    EXPECT_EQ(edit->Chars().size(), n);
    // With scrolling the text goes on and the view follows the caret.
    edit->mode = mtxIEEdit::kScroll;
    Type(editor, "WWWW");
    EXPECT_EQ(edit->Chars().size(), n + 4);
    EXPECT_GT(edit->firstVisible, 0u);
    EXPECT_LE(edit->caretX, edit->Width());
}

TEST_F(EditFixture, KeysMoveTheCaretAndDelete) {
    edit->SetText("abcd");
    Key(editor, VK_LEFT);
    Key(editor, VK_LEFT);
    EXPECT_EQ(edit->caret, 2u);
    Key(editor, VK_BACK);
    EXPECT_EQ(edit->Text(), "acd");
    Key(editor, VK_DELETE);
    EXPECT_EQ(edit->Text(), "ad");
    EXPECT_EQ(log.got.size(), 2u);
    Key(editor, VK_HOME);
    Key(editor, VK_LEFT);  // not below 0
    Key(editor, VK_BACK);  // nothing before the caret: no change, no notice
    EXPECT_EQ(edit->caret, 0u);
    EXPECT_EQ(log.got.size(), 2u);
    SendMessage(editor.Handle(), WM_KEYDOWN, VK_RIGHT, 50);  // repeat 50: to the end
    EXPECT_EQ(edit->caret, 2u);
}

TEST_F(EditFixture, TypingReplacesTheSelection) {
    edit->SetText("hello");
    edit->SetCaret(1);
    edit->SetCaret(4, true);
    EXPECT_EQ(edit->SelectionStart(), 1u);
    Type(editor, "X");
    EXPECT_EQ(edit->Text(), "hXo");
    EXPECT_FALSE(edit->HasSelection());
}

TEST_F(EditFixture, ClipboardRoundTripAndPasteIsFiltered) {
    edit->SetText("abc123");
    edit->Process(mtxIEEdit::kCopy, 0);  // the context menu's Copy
    auto* other = new mtxIEEdit(editor.canvas.get());
    other->rect = {10, 40, 200, 60};
    other->mode = mtxIEEdit::kDigits | mtxIEEdit::kScroll;
    other->Paste();
    EXPECT_EQ(other->Text(), "123");
    other->mode = mtxIEEdit::kScroll;
    other->SetText("");
    other->Paste();
    EXPECT_EQ(other->Text(), "abc123");
    // Cut takes everything when nothing is selected, and paste brings it back.
    edit->Process(mtxIEEdit::kCut, 0);
    EXPECT_EQ(edit->Text(), "");
    edit->Process(mtxIEEdit::kPaste, 0);
    EXPECT_EQ(edit->Text(), "abc123");
    // A selection is what is copied.
    edit->SetCaret(3);
    edit->SetCaret(6, true);
    edit->Copy();
    other->SetText("");
    other->Paste();
    EXPECT_EQ(other->Text(), "123");
}

TEST_F(EditFixture, TheRightButtonTakesTheFocusAndSetsTheMenuFlagUntilFocusGoes) {
    auto* other = new mtxIEEdit(editor.canvas.get());
    other->rect = {10, 40, 110, 60};
    other->Show(1);
    Mouse(editor, WM_RBUTTONDOWN, 20, 45, MK_RBUTTON);
    EXPECT_EQ(editor.focus, other);
    EXPECT_EQ(other->menuOpen, 1);
    edit->SetFocus();
    EXPECT_EQ(other->menuOpen, 0);
}

TEST_F(EditFixture, AClickPlacesTheCaret) {
    edit->SetText("iiiiiiii");
    Click(editor, 11, 15);
    EXPECT_EQ(edit->caret, 0u);
    Click(editor, 105, 15);
    EXPECT_EQ(edit->caret, 8u);
}

}  // namespace
