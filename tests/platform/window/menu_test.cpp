// The menu text reader and the keyboard behaviour of menus drawn by the
// window system.
#include <gtest/gtest.h>

#include "base/menu_template.h"
#include "base/wnd.h"
#include "platform/resource_table.h"
#include "platform/window/window_internal.h"
#include "tests/support/test_support.h"

using namespace mtxOs;

namespace {

std::string MenuResource(uint32_t id) {
    auto bytes = mtxFindResource("MENU", id);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

TEST(MenuTemplate, ReadsTheMainMenu) {
    Menu menu;
    std::string error;
    ASSERT_EQ(mtxParseMenuTemplate(MenuResource(40601), menu, error), 1) << error;
    ASSERT_EQ(menu.items.size(), 5u);
    EXPECT_EQ(menu.items[0].label, "&File");
    EXPECT_TRUE(menu.items[0].popup);
    const auto& file = menu.items[0].items;
    ASSERT_EQ(file.size(), 9u);
    EXPECT_EQ(file[0].id, 40105u);
    EXPECT_EQ(file[1].id, 40112u);
    EXPECT_TRUE(file[2].separator);
    EXPECT_EQ(file[3].id, 40106u);
    EXPECT_EQ(file[4].id, 40113u);
    EXPECT_EQ(file[5].id, 40114u);
    EXPECT_EQ(file[6].id, 40115u);
    EXPECT_TRUE(file[7].separator);
    EXPECT_EQ(file[8].label, "&Exit\tCtrl+Q");
    EXPECT_EQ(file[8].id, 40102u);
    EXPECT_EQ(menu.items[1].label, "&Edit");
    EXPECT_EQ(menu.items[1].items[0].label, "&Undo\tCtrl+Z");
    EXPECT_EQ(menu.items[2].items[1].id, 40121u);
    EXPECT_EQ(menu.items[3].label, "F&ill");
    EXPECT_EQ(menu.items[3].items[0].label, "&Go\tF5");
    EXPECT_EQ(menu.items[4].items[3].id, 40103u);
}

TEST(MenuTemplate, RefusesMalformedTextNamingTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"POPUP \"&File\"\nITEM 1 \"a\"\n", "POPUP without END"},
        {"END\n", "line 1"},
        {"POPUP \"x\"\nITEM 0 \"zero\"\nEND\n", "line 2"},
        {"POPUP \"x\"\nITEM 70000 \"big\"\nEND\n", "line 2"},
        {"POPUP \"x\"\nITEM 5 unquoted\nEND\n", "line 2"},
        {"POPUP x\nEND\n", "line 1"},
        {"# fine\n\nPOPUP \"x\"\nFROB\nEND\n", "line 4"},
        {"POPUP \"x\"\nMENU 3\nEND\n", "line 2"},
        {"POPUP \"a\\q\"\nEND\n", "line 1"},
    };
    for (auto [text, where] : cases) {
        Menu menu;
        std::string error;
        EXPECT_EQ(mtxParseMenuTemplate(text, menu, error), 0) << text;
        EXPECT_NE(error.find(where), std::string::npos) << text << " -> " << error;
        EXPECT_TRUE(menu.items.empty());
    }
}

TEST(MenuTemplate, NestedPopupsAndEscapes) {
    Menu menu;
    std::string error;
    ASSERT_EQ(
        mtxParseMenuTemplate("MENU 9\nPOPUP \"&A\"\n POPUP \"&B\"\n  ITEM 7 \"say \\\"hi\\\"\"\n "
                             "END\n ITEM 8 \"c:\\\\\"\nEND\n",
                             menu, error),
        1)
        << error;
    ASSERT_EQ(menu.items[0].items.size(), 2u);
    EXPECT_EQ(menu.items[0].items[0].items[0].label, "say \"hi\"");
    EXPECT_EQ(menu.items[0].items[1].label, "c:\\");
}

TEST(MenuLabels, MnemonicsAndDisplayText) {
    EXPECT_EQ(MenuMnemonic("E&xit"), U'x');
    EXPECT_EQ(MenuMnemonic("&File"), U'f');
    EXPECT_EQ(MenuMnemonic("Save && Quit"), 0u);
    EXPECT_EQ(MenuMnemonic("no mark"), 0u);
    size_t at = 0;
    EXPECT_EQ(MenuDisplayText("Save && &Quit", &at), "Save & Quit");
    EXPECT_EQ(at, 7u);
    EXPECT_EQ(MenuDisplayText("trailing&"), "trailing&");
}

TEST(MenuLabels, TheChordAfterATabIsNeitherTextNorMnemonic) {
    size_t at = 0;
    EXPECT_EQ(MenuDisplayText("&Open\tCtrl+O", &at), "Open");
    EXPECT_EQ(at, 0u);
    EXPECT_EQ(MenuShortcutText("&Open\tCtrl+O"), "Ctrl+O");
    EXPECT_EQ(MenuShortcutText("&Open"), "");
    EXPECT_EQ(MenuMnemonic("Open\tCtrl+&O"), 0u);  // a mark in the chord marks nothing
    EXPECT_EQ(MenuDisplayText("Open\tCtrl+&O"), "Open");
    Menu menu;
    std::string error;
    ASSERT_EQ(mtxParseMenuTemplate("POPUP \"a\"\nITEM 3 \"&Go\\tF5\"\nEND\n", menu, error), 1)
        << error;
    EXPECT_EQ(menu.items[0].items[0].label, "&Go\tF5");
}

class MenuKeyboard : public ::testing::Test {
  protected:
    void SetUp() override {
        testing_support::SharedApp();
        SetHeadless(true);
        wnd.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "menu", 0, 0, 400, 300, 0, nullptr);
        ASSERT_EQ(wnd.SetMenu(40601), 1);
        ShowWindow(wnd.Handle(), SW_SHOW);
    }
    void TearDown() override { DestroyWindow(wnd.Handle()); }
    // The command the loop delivers next, 0 when none.
    uint32_t NextCommand() {
        MSG msg;
        while (PeekMessage(msg, true)) {
            if (msg.message == WM_COMMAND && msg.hwnd == wnd.Handle())
                return static_cast<uint32_t>(msg.wParam);
            DispatchMessage(msg);
        }
        return 0;
    }
    void AltLetter(char c) {
        MSG msg{wnd.Handle(), WM_SYSKEYDOWN, static_cast<WPARAM>(c), 1 << 29, 0, {}};
        TranslateMessage(msg);
        while (PeekMessage(msg, true)) DispatchMessage(msg);
    }
    mtxWnd wnd;
};

TEST_F(MenuKeyboard, AltLetterOpensThePopupAndTheItemsMnemonicChooses) {
    EXPECT_GT(MenuBarHeight(wnd.Handle()), 0);
    RECT client;
    GetClientRect(wnd.Handle(), client);
    EXPECT_EQ(client.bottom, 300 - MenuBarHeight(wnd.Handle()));
    AltLetter('F');
    EXPECT_TRUE(MenuIsActive(wnd.Handle()));
    EXPECT_TRUE(MenuHandleKey(wnd.Handle(), 'E'));
    EXPECT_FALSE(MenuIsActive(wnd.Handle()));
    EXPECT_EQ(NextCommand(), 40102u);
}

TEST_F(MenuKeyboard, ArrowsSkipSeparatorsAndWrap) {
    AltLetter('F');
    // Open is highlighted; down twice passes Open Project and a separator to Save.
    MenuHandleKey(wnd.Handle(), VK_DOWN);
    MenuHandleKey(wnd.Handle(), VK_DOWN);
    MenuHandleKey(wnd.Handle(), VK_RETURN);
    EXPECT_EQ(NextCommand(), 40106u);
    AltLetter('F');
    MenuHandleKey(wnd.Handle(), VK_UP);  // wraps from Open to Exit
    MenuHandleKey(wnd.Handle(), VK_UP);  // then, past a separator, Export Time-lapse
    MenuHandleKey(wnd.Handle(), VK_RETURN);
    EXPECT_EQ(NextCommand(), 40115u);
}

TEST_F(MenuKeyboard, LeftAndRightMoveAlongTheBar) {
    AltLetter('F');
    MenuHandleKey(wnd.Handle(), VK_RIGHT);  // Edit, Undo highlighted
    MenuHandleKey(wnd.Handle(), VK_RIGHT);  // Options, Samples highlighted
    MenuHandleKey(wnd.Handle(), VK_DOWN);   // Filling
    MenuHandleKey(wnd.Handle(), VK_RETURN);
    EXPECT_EQ(NextCommand(), 40121u);
    AltLetter('F');
    MenuHandleKey(wnd.Handle(), VK_LEFT);  // wraps to Help
    MenuHandleKey(wnd.Handle(), 'A');
    EXPECT_EQ(NextCommand(), 40103u);
}

TEST_F(MenuKeyboard, EscapeBacksOutWithoutACommand) {
    AltLetter('O');
    MenuHandleKey(wnd.Handle(), VK_ESCAPE);  // closes the popup, the bar keeps the keyboard
    EXPECT_TRUE(MenuIsActive(wnd.Handle()));
    MenuHandleKey(wnd.Handle(), VK_ESCAPE);
    EXPECT_FALSE(MenuIsActive(wnd.Handle()));
    EXPECT_FALSE(MenuHandleKey(wnd.Handle(), VK_RETURN));  // no longer the menu's
    EXPECT_EQ(NextCommand(), 0u);
    AltLetter('Q');  // no such mnemonic: nothing opens
    EXPECT_FALSE(MenuIsActive(wnd.Handle()));
}

// A popup closed with Escape leaves the bar highlighted: the next click in
// the window leaves the menu and reaches the window; with a popup open the
// click only closes it.
TEST_F(MenuKeyboard, AClickAfterEscapeReachesTheWindow) {
    detail::Window* top = detail::Find(wnd.Handle());
    ASSERT_NE(top, nullptr);
    int y = MenuBarHeight(wnd.Handle()) + 200;  // below the File popup
    AltLetter('F');
    EXPECT_TRUE(detail::MenuMouse(*top, WM_LBUTTONDOWN, 200, y));  // closes the popup only
    EXPECT_FALSE(MenuIsActive(wnd.Handle()));
    EXPECT_FALSE(detail::MenuMouse(*top, WM_LBUTTONUP, 200, y));
    AltLetter('F');
    MenuHandleKey(wnd.Handle(), VK_ESCAPE);
    ASSERT_TRUE(MenuIsActive(wnd.Handle()));
    EXPECT_FALSE(detail::MenuMouse(*top, WM_LBUTTONDOWN, 200, y));  // passed on
    EXPECT_FALSE(MenuIsActive(wnd.Handle()));
    EXPECT_EQ(NextCommand(), 0u);
}

// Keys typed faster than the window reads them: Alt+F opens the menu only
// when its message is read, and the keys queued behind it still reach it.
TEST_F(MenuKeyboard, KeysTypedAheadOfTheMenuReachIt) {
    auto type = [&](uint32_t message, uint32_t vk) {
        detail::QueueInput(
            {wnd.Handle(), message, vk, message == WM_SYSKEYDOWN ? 1 << 29 : 1, 0, {}});
    };
    type(WM_SYSKEYDOWN, 'F');
    type(WM_KEYDOWN, VK_DOWN);
    type(WM_KEYDOWN, VK_DOWN);
    type(WM_KEYDOWN, VK_RETURN);
    type(WM_CHAR, 0x0D);
    MSG msg;
    uint32_t command = 0;
    while (PeekMessage(msg, true)) {
        if (msg.message == WM_COMMAND && msg.hwnd == wnd.Handle()) command = msg.wParam;
        EXPECT_NE(msg.message, WM_CHAR);  // Return was the menu's, not typed
        TranslateMessage(msg);
        DispatchMessage(msg);
    }
    EXPECT_EQ(command, 40106u);  // File, Save
    EXPECT_FALSE(MenuIsActive(wnd.Handle()));
    // Once the menu is gone, keys are the window's again.
    type(WM_KEYDOWN, 'A');
    type(WM_CHAR, 'a');
    ASSERT_TRUE(PeekMessage(msg, true));
    EXPECT_EQ(msg.message, static_cast<uint32_t>(WM_KEYDOWN));
    ASSERT_TRUE(PeekMessage(msg, true));
    EXPECT_EQ(msg.message, static_cast<uint32_t>(WM_CHAR));
}

// A popup menu chosen from: its loop has yet to see that it is done, and a
// frame composed meanwhile (the window presents before it dispatches a
// timer) must not show the popup again.
TEST_F(MenuKeyboard, APopupMenuLeftShowsNoMoreBeforeItsLoopEnds) {
    detail::Window* top = detail::Find(wnd.Handle());
    ASSERT_NE(top, nullptr);
    detail::MenuState& s = top->top->menu;
    Menu popup;
    popup.items.push_back(MenuItem{});
    popup.items.back().id = 7, popup.items.back().label = "Add Layer";
    s.tracking = true, s.tracked = popup, s.trackedAt = {50, 60}, s.active = true;
    detail::MenuCompose(*top);
    ASSERT_EQ(s.popupRects.size(), 1u);
    detail::MenuLeave(*top);
    EXPECT_TRUE(s.tracking);
    detail::MenuCompose(*top);
    EXPECT_TRUE(s.popupRects.empty());
    s.tracking = false;
}

TEST_F(MenuKeyboard, F10EntersTheBar) {
    SendMessage(wnd.Handle(), WM_SYSKEYDOWN, VK_F10, 0);
    EXPECT_TRUE(MenuIsActive(wnd.Handle()));
    MenuHandleKey(wnd.Handle(), VK_DOWN);  // opens File
    MenuHandleKey(wnd.Handle(), 'S');
    EXPECT_EQ(NextCommand(), 40106u);
}

}  // namespace

namespace {

// Presses keys in a popup menu from a timer, while TrackPopupMenu runs its loop.
class KeyFeeder : public mtxWnd {
  public:
    std::vector<uint32_t> keys;
    LRESULT OnTimer(WPARAM, LPARAM) override {
        if (!keys.empty()) {
            MenuHandleKey(Handle(), keys.front());
            keys.erase(keys.begin());
        }
        return 0;
    }
};

Menu Popup() {
    Menu menu;
    std::string error;
    EXPECT_EQ(mtxParseMenuTemplate("ITEM 11 \"&Copy\"\nSEPARATOR\nITEM 12 \"&Paste\"\n"
                                   "POPUP \"&More\"\nITEM 13 \"&Deep\"\nEND\n",
                                   menu, error),
              1)
        << error;
    return menu;
}

TEST(PopupMenu, TrackingReturnsTheChosenCommand) {
    testing_support::SharedApp();
    SetHeadless(true);
    KeyFeeder wnd;
    wnd.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "popup", 0, 0, 400, 300, 0, nullptr);
    SetTimer(wnd.Handle(), 1, 5);
    wnd.keys = {VK_DOWN, VK_DOWN, VK_RETURN};  // Copy, then Paste past the separator
    EXPECT_EQ(TrackPopupMenu(Popup(), TPM_RETURNCMD, 20, 20, wnd.Handle()), 12);
    wnd.keys = {VK_UP, VK_RIGHT, VK_RETURN};  // wraps to More, opens it, Deep
    EXPECT_EQ(TrackPopupMenu(Popup(), TPM_RETURNCMD, 20, 20, wnd.Handle()), 13);
    wnd.keys = {VK_DOWN, VK_ESCAPE};
    EXPECT_EQ(TrackPopupMenu(Popup(), TPM_RETURNCMD, 20, 20, wnd.Handle()), 0);
    EXPECT_FALSE(MenuIsActive(wnd.Handle()));
    // Without TPM_RETURNCMD the owner hears of the choice as WM_COMMAND.
    wnd.keys = {'C'};
    EXPECT_EQ(TrackPopupMenu(Popup(), 0, 20, 20, wnd.Handle()), 1);
    MSG msg;
    bool commanded = false;
    while (PeekMessage(msg, true)) commanded |= msg.message == WM_COMMAND && msg.wParam == 11;
    EXPECT_TRUE(commanded);
    KillTimer(wnd.Handle(), 1);
}

}  // namespace
