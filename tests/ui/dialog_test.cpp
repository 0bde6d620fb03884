// Dialogs: geometry, dragging kept inside the editor, the message box's
// sizes and title, OK posted twice, and the keyboard.
#include <gtest/gtest.h>

#include <memory>

#include "tests/support/test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/button.h"
#include "ui/dlg_ok_cancel.h"
#include "ui/label.h"
#include "ui/message_box.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

// Counts its actions where the test can read them after the dialog is gone.
struct Counts {
    int oks = 0, cancels = 0;
};
struct CountingDialog : mtxIEDlgOkCancel {
    CountingDialog(mtxImageEditor* editor, Counts* out) : mtxIEDlgOkCancel(editor), counts(out) {
        SetClientSize(200, 120);
        CreateButtons();
    }
    int OnAction(uint32_t code, uint16_t value) override {
        ++(code == kOk ? counts->oks : counts->cancels);
        return mtxIEDlgOkCancel::OnAction(code, value);
    }
    Counts* counts;
};

struct DialogFixture : ::testing::Test {
    DialogFixture() : editor(400, 300) { testing_support::SharedApp(); }
    Editor editor;
};

TEST_F(DialogFixture, StartsCentredModalFocusedWithItsClientArea) {
    auto* dialog = new mtxIEDialog(&editor, 1);
    EXPECT_EQ(Str(dialog->rect), Str({50, 50, 350, 250}));
    EXPECT_EQ(editor.TopModal(), dialog);
    EXPECT_EQ(editor.focus, dialog);
    dialog->SetTitleBar(1);
    EXPECT_EQ(Str(dialog->GetClientRect()), Str({5, 25, 295, 195}));
    dialog->SetClientSize(100, 50);
    EXPECT_EQ(dialog->Width(), 110);
    EXPECT_EQ(dialog->Height(), 75);
    dialog->Close();
    EXPECT_EQ(editor.TopModal(), nullptr);
}

TEST_F(DialogFixture, DraggingByTheTitleBarStaysInsideTheEditor) {
    auto* dialog = new mtxIEDialog(&editor, 1);
    dialog->SetTitleBar(1);
    // Press in the title bar at (60, 60), drag far to the right and down.
    Mouse(editor, WM_LBUTTONDOWN, 60, 60, MK_LBUTTON);
    EXPECT_EQ(editor.capture, dialog);
    Mouse(editor, WM_MOUSEMOVE, 80, 70, MK_LBUTTON);
    EXPECT_EQ(Str(dialog->rect), Str({70, 60, 370, 260}));
    Mouse(editor, WM_MOUSEMOVE, 2000, 2000, MK_LBUTTON);
    EXPECT_EQ(Str(dialog->rect), Str({100, 100, 400, 300}));
    Mouse(editor, WM_LBUTTONUP, -500, -500);
    EXPECT_EQ(Str(dialog->rect), Str({0, 0, 300, 200}));
    EXPECT_EQ(editor.capture, nullptr);
    // A press below the title bar does not drag.
    Mouse(editor, WM_LBUTTONDOWN, 100, 100, MK_LBUTTON);
    Mouse(editor, WM_MOUSEMOVE, 150, 150, MK_LBUTTON);
    Mouse(editor, WM_LBUTTONUP, 150, 150);
    EXPECT_EQ(Str(dialog->rect), Str({0, 0, 300, 200}));
}

TEST_F(DialogFixture, ALargerDialogKeepsItsTopLeftVisible) {
    auto* dialog = new mtxIEDialog(&editor, 1);
    dialog->SetTitleBar(1);
    dialog->SetClientSize(600, 500);
    Mouse(editor, WM_LBUTTONDOWN, dialog->rect.left + 10, dialog->rect.top + 5, MK_LBUTTON);
    Mouse(editor, WM_LBUTTONUP, 390, 290);
    EXPECT_EQ(dialog->rect.left, 0);
    EXPECT_EQ(dialog->rect.top, 0);
}

TEST_F(DialogFixture, MessageBoxWidthsAndTheWarningTitle) {
    auto* small = new mtxIEMessageBox(&editor, "Hi", nullptr);
    EXPECT_EQ(small->Width(), 160);
    EXPECT_EQ(small->title, "Warning");
    EXPECT_EQ(editor.TopModal(), small);
    EXPECT_EQ(small->Height(), small->label->rect.bottom - 25 + 70);
    // The OK button: centred, its top 30 pixels above the client bottom.
    RECT ok = small->okButton->rect;
    EXPECT_EQ(ok.left, (160 - 80) / 2);
    EXPECT_EQ(ok.top, small->GetClientRect().bottom - 30);

    const char* text = "This picture cannot be read, the file is damaged or of an unknown kind";
    auto* wide = new mtxIEMessageBox(&editor, text, "Open");
    EXPECT_EQ(wide->title, "Open");
    int labelWidth = wide->label->Width();
    ASSERT_GT(labelWidth, 150);
    EXPECT_EQ(wide->Width(), labelWidth + 5 + 10);
    EXPECT_EQ(wide->label->rect.left, 5 + (labelWidth + 5 - labelWidth) / 2);
    EXPECT_EQ(editor.TopModal(), wide);

    // Lines stand one under the other from one left edge, the box as wide as
    // the longest and tall enough for all, above the button.
    auto* lines = new mtxIEMessageBox(&editor, "First\nThe second line, the longest\nThird", "L");
    ASSERT_EQ(lines->lines.size(), 3u);
    EXPECT_EQ(lines->Text(), "First\nThe second line, the longest\nThird");
    RECT first = lines->lines[0]->rect, second = lines->lines[1]->rect,
         third = lines->lines[2]->rect;
    EXPECT_EQ(first.left, second.left);
    EXPECT_EQ(second.left, third.left);
    EXPECT_GE(second.top, first.bottom);
    EXPECT_GE(third.top, second.bottom);
    EXPECT_EQ(lines->Width(), (second.right - second.left) + 5 + 10);
    EXPECT_LT(third.bottom, lines->okButton->rect.top);
}

TEST_F(DialogFixture, AQuestionsThreeButtonsSitSideBySideCentred) {
    auto* box = new mtxIEMessageBox(&editor, "Hi", "Q", mtxIEMessageBox::kYesNoCancel);
    // At least wide enough for the three buttons, 10 pixels apart.
    EXPECT_EQ(box->Width(), 3 * 80 + 2 * 10 + 10 + 10);
    ASSERT_NE(box->noButton, nullptr);
    RECT yes = box->okButton->rect, no = box->noButton->rect, cancel = box->cancelAnswer->rect;
    EXPECT_EQ(yes.left, (box->Width() - 260) / 2);
    EXPECT_EQ(no.left, yes.right + 10);
    EXPECT_EQ(cancel.left, no.right + 10);
    EXPECT_EQ(cancel.right - cancel.left, 80);
    EXPECT_EQ(yes.top, box->GetClientRect().bottom - 30);
    EXPECT_EQ(no.top, yes.top);
    EXPECT_EQ(box->defaultButton, box->okButton);
    EXPECT_EQ(box->cancelButton, box->cancelAnswer);
}

TEST_F(DialogFixture, TheKeysAndButtonsOfAQuestionGiveTheirAnswers) {
    struct Case {
        uint32_t key;       // 0: the No button clicked
        uint32_t expected;  // the answer
    };
    for (Case c : {Case{VK_RETURN, mtxIEMessageBox::kYes},
                   Case{VK_ESCAPE, mtxIEMessageBox::kCancel}, Case{'Y', mtxIEMessageBox::kYes},
                   Case{'N', mtxIEMessageBox::kNo}, Case{0, mtxIEMessageBox::kNo}}) {
        auto outcome = std::make_shared<mtxIEMessageBox::Outcome>();
        auto* box =
            new mtxIEMessageBox(&editor, "Save?", "Q", mtxIEMessageBox::kYesNoCancel, outcome);
        if (c.key)
            Key(editor, c.key);
        else
            box->noButton->Click();
        PumpPosted();
        EXPECT_TRUE(outcome->done) << c.key;
        EXPECT_EQ(outcome->answer, c.expected) << c.key;
        EXPECT_EQ(editor.TopModal(), nullptr) << c.key;
    }
    // An OK box has no No: N does nothing there.
    auto* ok = new mtxIEMessageBox(&editor, "Done", nullptr);
    Key(editor, 'N');
    EXPECT_EQ(ok->Process(mtxIEMessageBox::kNo, 0), 0);
    PumpPosted();
    EXPECT_EQ(editor.TopModal(), ok);
}

TEST_F(DialogFixture, AQuestionClosedWithoutAnAnswerOrEndedByAQuitIsCancel) {
    auto outcome = std::make_shared<mtxIEMessageBox::Outcome>();
    auto* box = new mtxIEMessageBox(&editor, "Save?", "Q", mtxIEMessageBox::kYesNoCancel, outcome);
    editor.CloseModal(box, true);
    PumpPosted();
    EXPECT_TRUE(outcome->done);
    EXPECT_EQ(outcome->answer, uint32_t(mtxIEMessageBox::kCancel));
    // Ask answered once shown; a quit meanwhile is Cancel and stays for the outer loop.
    EXPECT_EQ(mtxIEMessageBox::Ask(&editor, "Save?", "Q", nullptr,
                                   [](mtxIEMessageBox& shown) { shown.Process(3, 0); }),
              uint32_t(mtxIEMessageBox::kNo));
    PumpPosted();
    EXPECT_EQ(mtxIEMessageBox::Ask(&editor, "Save?", "Q", nullptr,
                                   [](mtxIEMessageBox&) { PostQuitMessage(7); }),
              uint32_t(mtxIEMessageBox::kCancel));
    MSG msg;
    ASSERT_TRUE(PeekMessage(msg, true));
    EXPECT_EQ(msg.message, uint32_t(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    PumpPosted();
    EXPECT_EQ(editor.TopModal(), nullptr);
}

TEST_F(DialogFixture, OkPostedTwiceClosesOnlyItsOwnDialog) {
    Counts counts;
    auto* below = new CountingDialog(&editor, &counts);
    auto* box = new mtxIEMessageBox(&editor, "Done", nullptr);
    editor.PostCommand(box, 1, 0);
    editor.PostCommand(box, 1, 0);
    PumpPosted();
    EXPECT_EQ(editor.TopModal(), below);

    // The same for the OK/Cancel dialog: one OK is handled, the dialog goes once.
    editor.PostCommand(below, 1, 0);
    editor.PostCommand(below, 1, 0);
    editor.SendCommand(below, 1, 0);  // before any posted one: this is the one
    EXPECT_EQ(counts.oks, 1);
    PumpPosted();
    EXPECT_EQ(editor.TopModal(), nullptr);
}

TEST_F(DialogFixture, ClickingOkPostsTheActionAndClosesTheDialog) {
    Counts counts;
    auto* dialog = new CountingDialog(&editor, &counts);
    POINT ok = dialog->okButton->LocalToEditor(POINT{5, 5});
    Click(editor, ok.x, ok.y);
    EXPECT_EQ(editor.TopModal(), dialog);  // posted, not yet handled
    PumpPosted();
    EXPECT_EQ(editor.TopModal(), nullptr);
}

TEST_F(DialogFixture, TabMovesTheFocusInCreationOrderEnterAndEscapePressTheButtons) {
    Counts counts;
    auto* dialog = new CountingDialog(&editor, &counts);
    EXPECT_EQ(editor.focus, dialog);
    Key(editor, VK_TAB);
    EXPECT_EQ(editor.focus, dialog->okButton);
    Key(editor, VK_TAB);
    EXPECT_EQ(editor.focus, dialog->cancel);
    Key(editor, VK_TAB);
    EXPECT_EQ(editor.focus, dialog->okButton);  // round again
    dialog->FocusNext(true);                    // what Shift+Tab does
    EXPECT_EQ(editor.focus, dialog->cancel);
    dialog->FocusNext(true);
    EXPECT_EQ(editor.focus, dialog->okButton);
    // Escape is not the OK button's key: it goes up to the dialog, which cancels.
    Key(editor, VK_ESCAPE);
    PumpPosted();
    EXPECT_EQ(counts.cancels, 1);
    EXPECT_EQ(counts.oks, 0);
    EXPECT_EQ(editor.TopModal(), nullptr);
}

TEST_F(DialogFixture, EscapeCancelsAndEnterConfirmsFromTheDialog) {
    Counts firstCounts, secondCounts;
    auto* first = new CountingDialog(&editor, &firstCounts);
    new CountingDialog(&editor, &secondCounts);
    Key(editor, VK_ESCAPE);
    PumpPosted();
    EXPECT_EQ(secondCounts.cancels, 1);
    EXPECT_EQ(editor.TopModal(), first);
    first->SetFocus();
    Key(editor, VK_RETURN);
    PumpPosted();
    EXPECT_EQ(firstCounts.oks, 1);
    EXPECT_EQ(editor.TopModal(), nullptr);
}

TEST_F(DialogFixture, TheCloseBoxCancelsLikeEscapeOnlyWhenReleasedOverIt) {
    Counts counts;
    auto* dialog = new CountingDialog(&editor, &counts);
    RECT box = dialog->LocalToEditor(dialog->CloseBox());
    ASSERT_FALSE(mtxIsEmpty(box));
    int x = (box.left + box.right) / 2, y = (box.top + box.bottom) / 2;
    // Pressed, then let go elsewhere: nothing happens, and no drag began.
    RECT before = dialog->rect;
    editor.RouteMouse(mtxIECtrl::kLButtonDown, x, y, MK_LBUTTON);
    editor.RouteMouse(mtxIECtrl::kMouseMove, x - 60, y + 40, MK_LBUTTON);
    editor.RouteMouse(mtxIECtrl::kLButtonUp, x - 60, y + 40, 0);
    PumpPosted();
    EXPECT_EQ(counts.cancels, 0);
    EXPECT_EQ(editor.TopModal(), dialog);
    EXPECT_EQ(dialog->rect.left, before.left);
    Click(editor, x, y);
    PumpPosted();
    EXPECT_EQ(counts.cancels, 1);
    EXPECT_EQ(counts.oks, 0);
    EXPECT_EQ(editor.TopModal(), nullptr);
    // A dialog without a cancel button offers none.
    auto* plain = new mtxIEDialog(&editor, 1);
    plain->SetTitleBar(1);
    EXPECT_TRUE(mtxIsEmpty(plain->CloseBox()));
}

TEST_F(DialogFixture, DrawsTheTitleBarAndFrame) {
    auto* dialog = new mtxIEDialog(&editor, 1);
    dialog->SetTitleBar(1);
    dialog->SetTitle("Settings");
    editor.Paint();
    Pixels p = ReadBack(editor);
    // The title bar in the accent colour (blue over red), shaded.
    uint32_t title = p.At(200, 62);
    EXPECT_GT(int(title & 0xFF), int((title >> 16) & 0xFF) + 40);
    // The face: a light warm grey, neither the cleared white nor the accent.
    uint32_t face = p.At(200, 150);
    int red = int((face >> 16) & 0xFF), blue = int(face & 0xFF);
    EXPECT_TRUE(red > 150 && red < 250 && red >= blue && red - blue < 30) << std::hex << face;
    EXPECT_EQ(p.At(20, 20), 0xFFFFFFFFu);  // outside: the cleared background
}

}  // namespace
