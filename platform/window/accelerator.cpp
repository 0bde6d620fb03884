// Keyboard accelerators: chords read from menu labels, matched against
// key-down messages and turned into WM_COMMAND.
#include "platform/accelerator.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace mtxOs {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The virtual key of one key name of a chord (lower case); 0 for none.
uint32_t KeyOfName(const std::string& name) {
    if (name.size() == 1) {
        char c = name[0];
        if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a' + 'A');
        if (c >= '0' && c <= '9') return static_cast<uint32_t>(c);
        return 0;
    }
    if (name.size() <= 3 && name[0] == 'f' && std::isdigit(static_cast<unsigned char>(name[1])) &&
        name.find_first_not_of("0123456789", 1) == std::string::npos) {
        int n = std::atoi(name.c_str() + 1);
        return n >= 1 && n <= 24 ? VK_F1 + static_cast<uint32_t>(n - 1) : 0;
    }
    static const std::pair<const char*, uint32_t> named[] = {
        {"enter", VK_RETURN}, {"return", VK_RETURN}, {"esc", VK_ESCAPE},     {"escape", VK_ESCAPE},
        {"space", VK_SPACE},  {"tab", VK_TAB},       {"backspace", VK_BACK}, {"delete", VK_DELETE},
        {"del", VK_DELETE},   {"insert", VK_INSERT}, {"ins", VK_INSERT},     {"home", VK_HOME},
        {"end", VK_END},      {"pgup", VK_PRIOR},    {"pgdn", VK_NEXT},      {"left", VK_LEFT},
        {"right", VK_RIGHT},  {"up", VK_UP},         {"down", VK_DOWN},
    };
    for (auto [text, vk] : named)
        if (name == text) return vk;
    return 0;
}

uint8_t ModifierOfName(const std::string& name) {
    if (name == "ctrl" || name == "control") return FCONTROL;
    if (name == "shift") return FSHIFT;
    if (name == "alt") return FALT;
    return 0;
}

void CollectFromItems(const std::vector<MenuItem>& items, std::vector<ACCEL>& out) {
    for (const MenuItem& item : items) {
        if (item.separator) continue;
        if (item.popup) {
            CollectFromItems(item.items, out);
            continue;
        }
        ACCEL entry;
        std::string chord = MenuShortcutText(item.label);
        if (!chord.empty() && item.id <= 0xFFFF && ParseKeyChord(chord, entry)) {
            entry.cmd = static_cast<uint16_t>(item.id);
            out.push_back(entry);
        }
    }
}

// The item of a command in a menu, at any depth; null when none.
const MenuItem* ItemOf(const std::vector<MenuItem>& items, uint32_t command) {
    for (const MenuItem& item : items) {
        if (item.popup) {
            if (const MenuItem* found = ItemOf(item.items, command)) return found;
        } else if (!item.separator && item.id == command) {
            return &item;
        }
    }
    return nullptr;
}

bool IsKeyDown(uint32_t message) {
    return message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
}

}  // namespace

bool ParseKeyChord(const std::string& text, ACCEL& out) {
    std::string chord = Lower(text);
    uint8_t modifiers = 0;
    size_t start = 0;
    for (;;) {
        // A "+" right at the start of a part is the part itself ("Ctrl++" is
        // not supported, so a "+" part is simply refused below).
        size_t plus = chord.find('+', start);
        std::string part = chord.substr(start, plus == std::string::npos ? plus : plus - start);
        if (plus == std::string::npos) {
            uint32_t vk = KeyOfName(part);
            if (!vk) return false;
            out.fVirt = static_cast<uint8_t>(FVIRTKEY | modifiers);
            out.key = static_cast<uint16_t>(vk);
            return true;
        }
        uint8_t modifier = ModifierOfName(part);
        if (!modifier || (modifiers & modifier)) return false;
        modifiers |= modifier;
        start = plus + 1;
    }
}

AcceleratorTable AcceleratorTable::FromMenu(const Menu& menu) {
    std::vector<ACCEL> entries;
    CollectFromItems(menu.items, entries);
    return AcceleratorTable(std::move(entries));
}

uint32_t AcceleratorTable::CommandFor(uint32_t message, uint32_t vk, uint8_t modifiers) const {
    if (!IsKeyDown(message)) return 0;
    modifiers &= FSHIFT | FCONTROL | FALT;
    for (const ACCEL& entry : entries_)
        if (entry.key == vk && (entry.fVirt & (FSHIFT | FCONTROL | FALT)) == modifiers)
            return entry.cmd;
    return 0;
}

bool TranslateAccelerator(HWND hwnd, const AcceleratorTable& table, const MSG& msg) {
    if (!IsKeyDown(msg.message) || !msg.hwnd || !IsWindow(hwnd)) return false;
    if (GetTopLevel(msg.hwnd) != GetTopLevel(hwnd)) return false;
    uint8_t modifiers = 0;
    if (GetKeyState(VK_SHIFT) < 0) modifiers |= FSHIFT;
    if (GetKeyState(VK_CONTROL) < 0) modifiers |= FCONTROL;
    // Alt: held now, or the message says it was (the context bit of a system key).
    if (GetKeyState(VK_MENU) < 0 || (msg.message == WM_SYSKEYDOWN && (msg.lParam & (1 << 29))))
        modifiers |= FALT;
    uint32_t command = table.CommandFor(msg.message, static_cast<uint32_t>(msg.wParam), modifiers);
    if (!command) return false;
    // The chord of a disabled menu item is taken and does nothing, as the
    // item itself would.
    Menu menu;
    const MenuItem* item = GetMenu(GetTopLevel(hwnd), menu) ? ItemOf(menu.items, command) : nullptr;
    if (item && !item->enabled) return true;
    SendMessage(hwnd, WM_COMMAND, (WPARAM{1} << 16) | command, 0);
    return true;
}

}  // namespace mtxOs
