#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"
#include "platform/window_menu.h"

// Keyboard accelerators: key chords (Ctrl+O) that choose a command without
// the menu. A window's message loop offers every message to
// TranslateAccelerator before it translates and dispatches it; a key-down that
// matches a chord of the table becomes WM_COMMAND with the command's id.
namespace mtxOs {

// Modifier flags of an entry (the ACCEL flags of the system).
constexpr uint8_t FVIRTKEY = 0x01;  // key is a virtual-key code (always here)
constexpr uint8_t FSHIFT = 0x04;
constexpr uint8_t FCONTROL = 0x08;
constexpr uint8_t FALT = 0x10;

struct ACCEL {
    uint8_t fVirt = FVIRTKEY;  // FVIRTKEY plus the modifiers that must be down
    uint16_t key = 0;          // virtual-key code
    uint16_t cmd = 0;          // command id sent with WM_COMMAND
};

// Reads a chord as menus show it: modifiers "Ctrl", "Shift", "Alt" joined by
// "+" before one key: a letter, a digit, F1..F24, or a named key (Enter,
// Esc, Space, Tab, Backspace, Delete, Insert, Home, End, PgUp, PgDn, Left,
// Right, Up, Down). Case does not matter. False, with out untouched, for
// anything else.
bool ParseKeyChord(const std::string& text, ACCEL& out);

// The accelerators of one window, in the order they were added; the first
// that matches wins.
class AcceleratorTable {
  public:
    AcceleratorTable() = default;
    explicit AcceleratorTable(std::vector<ACCEL> entries) : entries_(std::move(entries)) {}
    // Every item of the menu, at any depth, whose label shows a chord after a
    // tab ("&Open\tCtrl+O"): what the menu shows is what the keys do. Labels
    // whose chord cannot be read are left out.
    static AcceleratorTable FromMenu(const Menu& menu);

    // The command of a key-down message (WM_KEYDOWN or WM_SYSKEYDOWN) of key
    // vk with exactly the modifiers given (FSHIFT | FCONTROL | FALT); 0 when
    // none matches or the message is not a key-down.
    uint32_t CommandFor(uint32_t message, uint32_t vk, uint8_t modifiers) const;
    const std::vector<ACCEL>& Entries() const { return entries_; }

  private:
    std::vector<ACCEL> entries_;
};

// When msg is a key-down of a window within hwnd's top-level window and the
// chord (with the modifiers down when it was typed, GetKeyState) is in the table, sends
// WM_COMMAND to hwnd with the command id in the low word and 1 in the high
// word, and returns true: the caller then neither translates nor dispatches
// msg. A chord whose command is a disabled item of the window's menu sends
// nothing but is taken all the same. False otherwise.
bool TranslateAccelerator(HWND hwnd, const AcceleratorTable& table, const MSG& msg);

}  // namespace mtxOs
