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
    const mtxIEProfile& look = editor.defaultProfile;
    EXPECT_EQ(p.At(50, 10) | 0xFF000000, look.lightColor);
    EXPECT_EQ(p.At(10, 25) | 0xFF000000, look.lightColor);
    EXPECT_EQ(p.At(50, 39) | 0xFF000000, look.shadowColor);
    EXPECT_EQ(p.At(109, 25) | 0xFF000000, look.shadowColor);
    // Inside: the bar's face, a light grey between the two.
    uint32_t face = p.At(50, 25);
    for (int shift = 0; shift < 24; shift += 8) {
        EXPECT_GT((face >> shift) & 0xFF, (look.shadowColor >> shift) & 0xFF);
        EXPECT_LT((face >> shift) & 0xFF, 0xFFu);
    }
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

// A menu rebuilt before every showing reuses its pooled item records: the
// pool takes no new block, and the rebuilt items know nothing of old checks.
TEST(Menu, RebuildingReusesThePooledRecords) {
    mtxMenu menu;
    auto build = [&] {
        for (uint32_t i = 0; i < 40; ++i) menu.AddItem(100 + i % 20, i % 7 ? "Item" : nullptr);
    };
    build();
    EXPECT_EQ(menu.ItemCount(), 40u);
    EXPECT_EQ(menu.Check(105, 1), 1);
    // Both items with that id, and their native items, are checked.
    int checked = 0;
    for (const mtxOs::MenuItem& item : menu.menu.items) checked += item.checked;
    EXPECT_EQ(checked, 2);
    const size_t blocks = menu.PoolBlocks();
    EXPECT_EQ(blocks, 3u);  // 16 records a block
    for (int round = 0; round < 5; ++round) {
        menu.Clear();
        EXPECT_EQ(menu.ItemCount(), 0u);
        EXPECT_TRUE(menu.menu.items.empty());
        EXPECT_EQ(menu.IsChecked(105), 0);
        build();
        EXPECT_EQ(menu.PoolBlocks(), blocks);
        EXPECT_EQ(menu.IsChecked(105), 0);
        EXPECT_EQ(menu.menu.items.size(), 40u);
        EXPECT_EQ(menu.Check(119, 1), 1);
        EXPECT_TRUE(menu.menu.items[19].checked);
        EXPECT_TRUE(menu.menu.items[39].checked);
    }
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
