#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

// Menus drawn by the window system itself: the menu bar of a top-level window
// and popup menus, both driven by mouse and keyboard as users expect of a
// desktop program (Alt or F10 enters the bar, Alt+letter opens the popup whose
// label has that "&" letter, arrows move, Enter chooses, Escape backs out).
// A chosen item reaches its window as WM_COMMAND with the item's id.
namespace mtxOs {

struct MenuItem {
    // "&" marks the mnemonic letter, "&&" is a literal "&"; a tab parts the
    // text from the key chord shown right-aligned ("&Open\tCtrl+O").
    std::string label;
    uint32_t id = 0;
    bool separator = false;
    bool popup = false;  // opens items instead of being chosen
    bool enabled = true;
    bool checked = false;  // a tick before the label
    std::vector<MenuItem> items;
};

struct Menu {
    std::vector<MenuItem> items;
};

// Gives a top-level window its menu bar (an empty menu removes it). The client
// area shrinks by the bar's height and the window gets WM_SIZE. False for a
// child or a dead window.
bool SetMenu(HWND hwnd, const Menu& menu);
bool HasMenu(HWND hwnd);
// A copy of the window's menu; false for a window without one.
bool GetMenu(HWND hwnd, Menu& out);
// Height of the menu bar in pixels, 0 without one.
int MenuBarHeight(HWND hwnd);

constexpr uint32_t TPM_RETURNCMD = 0x0100;

// Shows a popup menu at (x, y) in screen coordinates and runs a message loop
// until it closes. With TPM_RETURNCMD the chosen id is returned and nothing is
// posted; otherwise the owner gets WM_COMMAND and the result is 1 when an item
// was chosen. 0 when nothing was chosen.
int TrackPopupMenu(const Menu& menu, uint32_t flags, int x, int y, HWND owner);

// Feeds a key (virtual-key code) to the menu of a top-level window, as the
// display does while the menu is active; true when the menu took it.
bool MenuHandleKey(HWND top, uint32_t vk);
// True while the menu bar or a popup of the window has the keyboard.
bool MenuIsActive(HWND top);

// The lower-case mnemonic letter of a label ("E&xit" -> 'x'); 0 for none.
char32_t MenuMnemonic(const std::string& label);
// The label as shown, without the "&" marks ("Save && Quit" -> "Save & Quit")
// and without the key chord after a tab, and the position of the underlined
// letter in it (npos for none).
std::string MenuDisplayText(const std::string& label, size_t* mnemonicAt = nullptr);
// The key chord shown after the tab of a label ("&Open\tCtrl+O" -> "Ctrl+O");
// empty for none.
std::string MenuShortcutText(const std::string& label);

}  // namespace mtxOs
