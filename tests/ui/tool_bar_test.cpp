// Tool bars and menus: rows, refused rows, the pressed tool, the bar's look,
// checked items and menu choices reaching only a live target.
#include <gtest/gtest.h>

#include "tests/ui/ui_test_support.h"
#include "ui/active_ctrl.h"
#include "ui/menu.h"
#include "ui/tool_bar.h"

using namespace ui_test;
using namespace mtxOs;

namespace {

mtxIEActiveCtrl* Button(mtxIECtrl* parent, int w, int h, uint32_t code) {
    auto* b = new mtxIEActiveCtrl(parent);
    b->SetRect({0, 0, w, h});
    b->action = code;
    b->Show(1);
    return b;
}

TEST(ToolBar, RowsGrowOneAtATimeAndItemsFollowTheirSpacing) {
    Editor editor;
    auto* bar = new mtxIEToolBar(editor.canvas.get());
    bar->SetRect({0, 0, 300, 80});
    auto* a = Button(bar, 20, 20, 1);
    auto* b = Button(bar, 30, 24, 2);
    auto* c = Button(bar, 20, 20, 3);
    EXPECT_EQ(bar->AddItem(a, 1, 20), 0);  // no row 0 yet
    EXPECT_EQ(bar->AddItem(a, 0, 20), 1);
    EXPECT_EQ(bar->AddItem(b, 0, 20), 1);
    EXPECT_EQ(bar->AddItem(c, 1, 4), 1);
    EXPECT_EQ(bar->AddItem(c, 16, 4), 0);
    EXPECT_EQ(bar->AddItem(c, -1, 4), 0);
    EXPECT_EQ(bar->rowCount, 2);
    EXPECT_EQ(Str(a->rect), Str({20, 5, 40, 25}));
    EXPECT_EQ(Str(b->rect), Str({60, 5, 90, 29}));
    EXPECT_EQ(Str(c->rect), Str({4, 34, 24, 54}));  // below the deepest item of row 0
    bar->layout = mtxIEToolBar::kColumns;
    bar->LayoutChildren();
    EXPECT_EQ(Str(a->rect), Str({5, 20, 25, 40}));
    EXPECT_EQ(Str(b->rect), Str({5, 60, 35, 84}));
    EXPECT_EQ(Str(c->rect), Str({40, 4, 60, 24}));
}

TEST(ToolBar, SelectPressesTheButtonsOfThatCodeOnly) {
    Editor editor;
    auto* bar = new mtxIEToolBar(editor.canvas.get());
    mtxIEActiveCtrl* b[3] = {Button(bar, 10, 10, 1), Button(bar, 10, 10, 2),
                             Button(bar, 10, 10, 2)};
    for (auto* button : b) bar->AddItem(button, 0, 2);
    bar->Select(2);
    EXPECT_EQ(b[0]->pressed, 0u);
    EXPECT_EQ(b[1]->pressed, 1u);
    EXPECT_EQ(b[2]->pressed, 1u);
    bar->Select(1);
    EXPECT_EQ(b[0]->pressed, 1u);
    EXPECT_EQ(b[1]->pressed, 0u);
}

TEST(ToolBar, ABorderedBarHasALightTopLeftAndADarkBottomRight) {
    Editor editor;
    auto* bar = new mtxIEToolBar(editor.canvas.get());
    bar->SetRect({10, 10, 110, 40});
    bar->border = 1;
    bar->Show(1);
    editor.Paint();
    Pixels p = ReadBack(editor);
    EXPECT_EQ(p.At(50, 10), 0xFFFFFFFFu);
    EXPECT_EQ(p.At(10, 25), 0xFFFFFFFFu);
    EXPECT_EQ(p.At(50, 39), 0xFF808080u);
    EXPECT_EQ(p.At(109, 25), 0xFF808080u);
    EXPECT_EQ(p.At(50, 25), 0xFFD4D0C8u);
}

struct Recorder : mtxIEActionProcessor {
    std::vector<uint32_t> got;
    int Process(uint32_t action, uint16_t) override {
        got.push_back(action);
        return 1;
    }
};

TEST(Menu, ItemsSeparatorsAndChecks) {
    mtxMenu menu;
    menu.AddItem(10, "&Open");
    menu.AddItem(0, nullptr);
    menu.AddItem(11, "Grid");
    ASSERT_EQ(menu.menu.items.size(), 3u);
    EXPECT_TRUE(menu.menu.items[1].separator);
    EXPECT_EQ(menu.Check(11, 1), 1);
    EXPECT_EQ(menu.IsChecked(11), 1);
    EXPECT_EQ(menu.IsChecked(10), 0);
    EXPECT_EQ(menu.Check(99, 1), 0);
    EXPECT_EQ(menu.Check(11, 0), 1);
    EXPECT_EQ(menu.IsChecked(11), 0);
}

TEST(Menu, AChosenItemReachesTheTargetOnlyWhileItLives) {
    Editor editor;
    auto* target = new Recorder;
    mtxIEMenu menu(&editor, target);
    editor.SetMenuTarget(menu.target);  // as Show does before tracking
    PostMessage(editor.Handle(), WM_COMMAND, 12, 0);
    MSG msg;
    while (PeekMessage(msg, true)) DispatchMessage(msg);
    EXPECT_EQ(target->got, std::vector<uint32_t>{12});
    PostMessage(editor.Handle(), WM_COMMAND, 13, 0);
    delete target;
    while (PeekMessage(msg, true)) DispatchMessage(msg);  // dropped, no call
}

}  // namespace
