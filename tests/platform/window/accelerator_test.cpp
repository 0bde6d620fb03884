// Key chords: reading them from menu labels, matching key-down messages, and
// the menu drawing them right-aligned beside the labels.
#include "platform/accelerator.h"

#include <gtest/gtest.h>

#include "base/menu_template.h"
#include "base/wnd.h"
#include "platform/resource_table.h"
#include "platform/window/window_internal.h"
#include "tests/support/test_support.h"

using namespace mtxOs;

namespace {

TEST(KeyChord, ReadsModifiersAndKeysInAnyCase) {
    const std::tuple<const char*, uint8_t, uint16_t> good[] = {
        {"Ctrl+O", FCONTROL, 'O'},
        {"ctrl+shift+s", FCONTROL | FSHIFT, 'S'},
        {"Shift+Ctrl+S", FCONTROL | FSHIFT, 'S'},
        {"Alt+F4", FALT, VK_F1 + 3},
        {"F12", 0, VK_F1 + 11},
        {"F24", 0, VK_F24},
        {"Ctrl+Enter", FCONTROL, VK_RETURN},
        {"Control+Del", FCONTROL, VK_DELETE},
        {"5", 0, '5'},
        {"PgDn", 0, VK_NEXT},
    };
    for (auto [text, modifiers, key] : good) {
        ACCEL a;
        ASSERT_TRUE(ParseKeyChord(text, a)) << text;
        EXPECT_EQ(a.fVirt, FVIRTKEY | modifiers) << text;
        EXPECT_EQ(a.key, key) << text;
    }
    for (const char* bad : {"", "Ctrl+", "+O", "Ctrl++", "Ctrl+Ctrl+O", "Hyper+O", "F0", "F25",
                            "F1x", "Ctrl+OO", "Ctrl O", "O+Ctrl", "é", "Ctrl+\t"}) {
        ACCEL a;
        a.key = 99;
        EXPECT_FALSE(ParseKeyChord(bad, a)) << bad;
        EXPECT_EQ(a.key, 99) << bad;  // untouched
    }
}

std::string MenuResource(uint32_t id) {
    auto bytes = mtxFindResource("MENU", id);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

TEST(AcceleratorTable, TheMainMenuShowsOpenSaveExitUndoRedoGoAndStopChords) {
    Menu menu;
    std::string error;
    ASSERT_EQ(mtxParseMenuTemplate(MenuResource(40601), menu, error), 1) << error;
    AcceleratorTable table = AcceleratorTable::FromMenu(menu);
    ASSERT_EQ(table.Entries().size(), 7u);
    EXPECT_EQ(table.CommandFor(WM_KEYDOWN, VK_F1 + 4, 0), 40122u);
    EXPECT_EQ(table.CommandFor(WM_KEYDOWN, VK_F1 + 5, 0), 40123u);
    EXPECT_EQ(table.CommandFor(WM_KEYDOWN, 'O', FCONTROL), 40105u);
    EXPECT_EQ(table.CommandFor(WM_KEYDOWN, 'S', FCONTROL), 40106u);
    EXPECT_EQ(table.CommandFor(WM_KEYDOWN, 'Q', FCONTROL), 40102u);
    EXPECT_EQ(table.CommandFor(WM_KEYDOWN, 'Z', FCONTROL), 40126u);
    EXPECT_EQ(table.CommandFor(WM_KEYDOWN, 'Y', FCONTROL), 40127u);
    // Only the exact chord: more or fewer modifiers, or not a key-down, is no chord.
    EXPECT_EQ(table.CommandFor(WM_KEYDOWN, 'Q', 0), 0u);
    EXPECT_EQ(table.CommandFor(WM_KEYDOWN, 'Q', FCONTROL | FSHIFT), 0u);
    EXPECT_EQ(table.CommandFor(WM_SYSKEYDOWN, 'Q', FCONTROL | FALT), 0u);
    EXPECT_EQ(table.CommandFor(WM_KEYUP, 'Q', FCONTROL), 0u);
    EXPECT_EQ(table.CommandFor(WM_CHAR, 'Q', FCONTROL), 0u);
    EXPECT_EQ(table.CommandFor(WM_KEYDOWN, 'X', FCONTROL), 0u);
}

TEST(AcceleratorTable, NestedItemsCountUnreadableChordsDoNotAndTheFirstMatchWins) {
    Menu menu;
    std::string error;
    ASSERT_EQ(mtxParseMenuTemplate("POPUP \"&A\"\n"
                                   " POPUP \"&Deep\"\n  ITEM 7 \"&Seven\\tAlt+7\"\n END\n"
                                   " ITEM 8 \"&Eight\\tCtrl+Hyper+8\"\n"
                                   " ITEM 9 \"&Nine\\tF9\"\n"
                                   " ITEM 10 \"&Ten\\tf9\"\n"
                                   " ITEM 11 \"&Plain\"\n"
                                   "END\n",
                                   menu, error),
              1)
        << error;
    AcceleratorTable table = AcceleratorTable::FromMenu(menu);
    EXPECT_EQ(table.Entries().size(), 3u);
    EXPECT_EQ(table.CommandFor(WM_SYSKEYDOWN, '7', FALT), 7u);
    EXPECT_EQ(table.CommandFor(WM_KEYDOWN, VK_F1 + 8, 0), 9u);
    EXPECT_EQ(table.CommandFor(WM_KEYDOWN, '8', FCONTROL), 0u);
}

// Logs the commands it gets.
class CommandLog : public mtxWnd {
  public:
    LRESULT OnCommand(WPARAM wParam, LPARAM) override {
        commands.push_back(wParam);
        return 0;
    }
    std::vector<WPARAM> commands;
};

TEST(TranslateAccelerator, AChordOfTheWindowBecomesItsCommandAtOnce) {
    testing_support::SharedApp();
    SetHeadless(true);
    CommandLog main, other;
    main.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "main", 0, 0, 300, 200, 0, nullptr);
    other.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "other", 0, 0, 300, 200, 0, nullptr);
    mtxWnd child;
    child.Create(&main, nullptr, WS_CHILD | WS_VISIBLE, "", 0, 0, 50, 50, 0, nullptr);
    ACCEL f5, ctrlO;
    ASSERT_TRUE(ParseKeyChord("F5", f5));
    ASSERT_TRUE(ParseKeyChord("Ctrl+O", ctrlO));
    f5.cmd = 77;
    ctrlO.cmd = 78;
    AcceleratorTable table({f5, ctrlO});

    // The key goes to the focus window, a child: the command goes to the main window.
    MSG key{child.Handle(), WM_KEYDOWN, VK_F1 + 4, 1, 0, {}};
    EXPECT_TRUE(TranslateAccelerator(main.Handle(), table, key));
    ASSERT_EQ(main.commands.size(), 1u);
    EXPECT_EQ(main.commands[0], (WPARAM{1} << 16) | 77);  // high word 1: from an accelerator
    MSG nothingQueued;
    EXPECT_FALSE(PeekMessage(nothingQueued, false));  // sent, not posted

    // Keys of another top-level window, key releases and other keys pass by.
    MSG foreign{other.Handle(), WM_KEYDOWN, VK_F1 + 4, 1, 0, {}};
    MSG release{child.Handle(), WM_KEYUP, VK_F1 + 4, 1, 0, {}};
    MSG plainO{child.Handle(), WM_KEYDOWN, 'O', 1, 0, {}};  // Ctrl is not held
    EXPECT_FALSE(TranslateAccelerator(main.Handle(), table, foreign));
    EXPECT_FALSE(TranslateAccelerator(main.Handle(), table, release));
    EXPECT_FALSE(TranslateAccelerator(main.Handle(), table, plainO));
    EXPECT_FALSE(TranslateAccelerator(main.Handle(), AcceleratorTable(), key));
    EXPECT_EQ(main.commands.size(), 1u);
    EXPECT_TRUE(other.commands.empty());

    // A chord of a disabled menu item is taken, and nothing is sent.
    Menu menu;
    std::string error;
    ASSERT_EQ(
        mtxParseMenuTemplate(
            "POPUP \"&Run\"\n POPUP \"&More\"\n  ITEM 77 \"&Go\\tF5\"\n END\nEND\n", menu, error),
        1)
        << error;
    menu.items[0].items[0].items[0].enabled = false;
    ASSERT_TRUE(SetMenu(main.Handle(), menu));
    EXPECT_TRUE(TranslateAccelerator(main.Handle(), table, key));
    EXPECT_EQ(main.commands.size(), 1u);
    menu.items[0].items[0].items[0].enabled = true;
    ASSERT_TRUE(SetMenu(main.Handle(), menu));
    EXPECT_TRUE(TranslateAccelerator(main.Handle(), table, key));
    EXPECT_EQ(main.commands.size(), 2u);

    HWND dead = main.Handle();
    DestroyWindow(dead);
    EXPECT_FALSE(TranslateAccelerator(dead, table, key));
    DestroyWindow(other.Handle());
}

// Text pixels (dark on the popup's white) in a band of a row of the frame.
int DarkPixels(const Bitmap& frame, int y0, int y1, int x0, int x1, int* rightmost = nullptr) {
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            uint32_t p = frame.Row(y)[x];
            if ((p & 0xFF) < 0x90 && ((p >> 8) & 0xFF) < 0x90 && ((p >> 16) & 0xFF) < 0x90) {
                ++count;
                if (rightmost && x > *rightmost) *rightmost = x;
            }
        }
    return count;
}

TEST(MenuDrawing, ChordsStandRightAlignedBesideTheirLabels) {
    testing_support::SharedApp();
    SetHeadless(true);
    mtxWnd wnd;
    wnd.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "menu", 0, 0, 500, 400, 0, nullptr);
    ASSERT_EQ(wnd.SetMenu(40601), 1);
    ShowWindow(wnd.Handle(), SW_SHOW);
    auto composed = [&](char letter) {
        MSG msg{wnd.Handle(), WM_SYSKEYDOWN, static_cast<WPARAM>(letter), 1 << 29, 0, {}};
        TranslateMessage(msg);
        while (PeekMessage(msg, true)) DispatchMessage(msg);  // the last, empty peek composes
        detail::Window* w = detail::Find(wnd.Handle());
        EXPECT_EQ(w->top->menu.popupRects.size(), 1u);
        return std::make_pair(w->top->frame, w->top->menu.popupRects.at(0));
    };
    // File: Open (highlighted), Open Project, separator, Save, Save Project,
    // Export at Size, Export Time-lapse, separator, Exit.
    auto [file, r] = composed('F');
    int item = (r.bottom - r.top - 4 - 2 * 7) / 7;
    int saveTop = r.top + 2 + 2 * item + 7, exitTop = saveTop + 4 * item + 7;
    int middle = (r.left + r.right) / 2;
    for (int top : {saveTop, exitTop}) {
        int rightmost = -1;
        EXPECT_GT(DarkPixels(file, top, top + item, middle, r.right, &rightmost), 10) << top;
        // The chord ends at the popup's right padding (24 pixels), not before.
        EXPECT_GE(rightmost, r.right - 24 - 3) << top;
        EXPECT_LT(rightmost, r.right - 24 + 1) << top;
        EXPECT_GT(DarkPixels(file, top, top + item, r.left, r.left + 60), 10) << top;  // the label
    }
    // The labels end well before the chords begin: a gap between them.
    int gapLeft = r.left + 24 + 40, gapRight = r.right - 24 - 60;
    ASSERT_LT(gapLeft, gapRight);
    EXPECT_EQ(DarkPixels(file, saveTop, saveTop + item, gapLeft, gapRight), 0);
    MenuHandleKey(wnd.Handle(), VK_ESCAPE);
    MenuHandleKey(wnd.Handle(), VK_ESCAPE);

    // Options has no chords: nothing on the right of its items.
    auto [options, o] = composed('O');
    int filling = o.top + 2 + item;
    EXPECT_EQ(DarkPixels(options, filling, filling + item, (o.left + o.right) / 2, o.right), 0);
    EXPECT_GT(DarkPixels(options, filling, filling + item, o.left, o.left + 80), 10);
    DestroyWindow(wnd.Handle());
}

}  // namespace
