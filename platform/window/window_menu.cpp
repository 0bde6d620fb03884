// Menu bars and popup menus, drawn by the window system over the windows'
// own painting and driven by keyboard and mouse.
#include "platform/window_menu.h"

#include <algorithm>

#include "platform/font_face.h"
#include "platform/window/window_internal.h"

namespace mtxOs {

using namespace detail;

namespace {

constexpr uint32_t kBarColor = 0xFFF3F3F3;
constexpr uint32_t kBarLine = 0xFFD6D6D6;
constexpr uint32_t kBarHot = 0xFFCCE4F7;
constexpr uint32_t kPopupColor = 0xFFFFFFFF;
constexpr uint32_t kPopupBorder = 0xFFA0A0A0;
constexpr uint32_t kHot = 0xFF3D8EE6;
constexpr uint32_t kText = 0xFF1A1A1A;
constexpr uint32_t kHotText = 0xFFFFFFFF;
constexpr uint32_t kDisabledText = 0xFF9A9A9A;
constexpr uint32_t kSeparator = 0xFFDDDDDD;
constexpr int kBarPadding = 8;
constexpr int kPopupPadding = 24;
constexpr int kSeparatorHeight = 7;
constexpr int kShortcutGap = 32;  // between the longest label and the chords' column

// Menus are drawn on the user-interface thread only.
FontFace* MenuFont() {
    static std::unique_ptr<FontFace> font = FontFace::Open("Arial", 15, 400, false);
    return font.get();
}

int LineHeight() {
    FontFace* f = MenuFont();
    return f ? f->Metrics().ascent + f->Metrics().descent : 16;
}

int PlainWidth(const std::string& text) {
    FontFace* f = MenuFont();
    return f ? f->TextWidth(text) : static_cast<int>(text.size()) * 7;
}

int TextWidth(const std::string& label) {
    return PlainWidth(MenuDisplayText(label));
}

int BarHeight() {
    return LineHeight() + 8;
}
int ItemHeight() {
    return LineHeight() + 8;
}

bool Selectable(const MenuItem& item) {
    return !item.separator && item.enabled;
}

// The bar item's left edge and width.
std::pair<int, int> BarItem(const Menu& menu, int index) {
    int x = 4;
    for (int i = 0; i < index; ++i) x += TextWidth(menu.items[i].label) + 2 * kBarPadding;
    return {x, TextWidth(menu.items[index].label) + 2 * kBarPadding};
}

const std::vector<MenuItem>* LevelItems(const MenuState& s, size_t level) {
    const std::vector<MenuItem>* items = nullptr;
    if (s.tracking) {
        items = &s.tracked.items;
    } else {
        if (!s.open || s.barIndex < 0 || s.barIndex >= static_cast<int>(s.menu.items.size()))
            return nullptr;
        items = &s.menu.items[s.barIndex].items;
    }
    for (size_t k = 0; k < level; ++k) {
        if (k >= s.selected.size()) return nullptr;
        int sel = s.selected[k];
        if (sel < 0 || sel >= static_cast<int>(items->size()) || !(*items)[sel].popup)
            return nullptr;
        items = &(*items)[sel].items;
    }
    return items;
}

int FirstSelectable(const std::vector<MenuItem>& items) {
    for (size_t i = 0; i < items.size(); ++i)
        if (Selectable(items[i])) return static_cast<int>(i);
    return -1;
}

// Labels on the left, key chords right-aligned in a column of their own.
int PopupWidth(const std::vector<MenuItem>& items) {
    int labels = 0, chords = 0;
    bool popups = false;
    for (const MenuItem& item : items) {
        labels = std::max(labels, TextWidth(item.label));
        chords = std::max(chords, PlainWidth(MenuShortcutText(item.label)));
        popups = popups || item.popup;
    }
    int width = labels + 2 * kPopupPadding + (popups ? 12 : 0);
    if (chords > 0) width += kShortcutGap + chords;
    return std::max(width, 120);
}

int PopupHeight(const std::vector<MenuItem>& items) {
    int height = 4;
    for (const MenuItem& item : items) height += item.separator ? kSeparatorHeight : ItemHeight();
    return height;
}

// Places every open popup, in window pixels, kept inside the window.
void Relayout(Window& top) {
    MenuState& s = top.top->menu;
    s.popupRects.clear();
    // A popup menu that was left shows nothing, though its loop has not yet
    // seen that it is done.
    if (!s.active) return;
    int winW = top.rect.right - top.rect.left, winH = top.rect.bottom - top.rect.top;
    int x = 0, y = 0;
    if (s.tracking) {
        x = s.trackedAt.x;
        y = s.trackedAt.y;
    } else if (s.open) {
        x = BarItem(s.menu, s.barIndex).first;
        y = top.top->menuBarHeight;
    }
    for (size_t level = 0;; ++level) {
        const std::vector<MenuItem>* items = LevelItems(s, level);
        if (!items || items->empty()) break;
        int w = PopupWidth(*items), h = PopupHeight(*items);
        int left = std::max(0, std::min(x, winW - w)), topY = std::max(0, std::min(y, winH - h));
        s.popupRects.push_back({left, topY, left + w, topY + h});
        if (level >= s.selected.size() || s.selected[level] < 0) break;
        // A submenu opens beside its item.
        int itemY = topY + 2;
        for (int i = 0; i < s.selected[level]; ++i)
            itemY += (*items)[i].separator ? kSeparatorHeight : ItemHeight();
        x = left + w - 4;
        y = itemY;
    }
}

int ItemAt(const std::vector<MenuItem>& items, const RECT& r, int y) {
    int itemY = r.top + 2;
    for (size_t i = 0; i < items.size(); ++i) {
        int h = items[i].separator ? kSeparatorHeight : ItemHeight();
        if (y >= itemY && y < itemY + h) return static_cast<int>(i);
        itemY += h;
    }
    return -1;
}

void Changed(Window& top) {
    top.top->needsPresent = true;
}

void Choose(Window& top, uint32_t id) {
    MenuState& s = top.top->menu;
    bool tracking = s.tracking;
    MenuLeave(top);
    if (tracking) {
        s.chosen = id;
        return;
    }
    PostMessage(top.Handle(), WM_COMMAND, id, 0);
}

void OpenBarItem(Window& top, int index, bool selectFirst) {
    MenuState& s = top.top->menu;
    s.active = true;
    s.barIndex = index;
    s.open = s.menu.items[index].popup;
    s.selected.clear();
    if (s.open) s.selected.push_back(selectFirst ? FirstSelectable(s.menu.items[index].items) : -1);
    Changed(top);
}

// Acts on the item at level: opens its submenu or chooses it.
void Activate(Window& top, size_t level, int index) {
    MenuState& s = top.top->menu;
    const std::vector<MenuItem>* items = LevelItems(s, level);
    if (!items || index < 0 || index >= static_cast<int>(items->size())) return;
    const MenuItem& item = (*items)[index];
    if (!Selectable(item)) return;
    s.selected.resize(level + 1);
    s.selected[level] = index;
    if (item.popup) {
        s.selected.push_back(FirstSelectable(item.items));
        Changed(top);
        return;
    }
    Choose(top, item.id);
}

void MoveSelection(Window& top, int step) {
    MenuState& s = top.top->menu;
    size_t level = s.selected.size() - 1;
    const std::vector<MenuItem>* items = LevelItems(s, level);
    if (!items || items->empty()) return;
    int n = static_cast<int>(items->size()), sel = s.selected[level];
    for (int k = 0; k < n; ++k) {
        sel = sel < 0 ? (step > 0 ? 0 : n - 1) : (sel + step + n) % n;
        if (Selectable((*items)[sel])) break;
    }
    s.selected[level] = sel;
    Changed(top);
}

void MoveBar(Window& top, int step) {
    MenuState& s = top.top->menu;
    int n = static_cast<int>(s.menu.items.size());
    if (n == 0) return;
    int index = (s.barIndex + step + n) % n;
    if (s.open)
        OpenBarItem(top, index, true);
    else
        s.barIndex = index;
    Changed(top);
}

bool Mnemonic(Window& top, char32_t c) {
    MenuState& s = top.top->menu;
    if (s.selected.empty()) {
        for (size_t i = 0; i < s.menu.items.size(); ++i)
            if (MenuMnemonic(s.menu.items[i].label) == c) {
                OpenBarItem(top, static_cast<int>(i), true);
                if (!s.menu.items[i].popup) Choose(top, s.menu.items[i].id);
                return true;
            }
        return false;
    }
    size_t level = s.selected.size() - 1;
    const std::vector<MenuItem>* items = LevelItems(s, level);
    if (!items) return false;
    for (size_t i = 0; i < items->size(); ++i)
        if (Selectable((*items)[i]) && MenuMnemonic((*items)[i].label) == c) {
            Activate(top, level, static_cast<int>(i));
            return true;
        }
    return false;
}

void DrawLabel(Bitmap& frame, int x, int y, int height, const std::string& label, uint32_t color,
               const RECT& clip) {
    FontFace* f = MenuFont();
    if (!f) return;
    size_t mnemonicAt = std::string::npos;
    std::string text = MenuDisplayText(label, &mnemonicAt);
    int baseline = y + (height - LineHeight()) / 2 + f->Metrics().ascent;
    f->Draw(frame, x, baseline, text, color, clip.left, clip.top, clip.right, clip.bottom);
    if (mnemonicAt == std::string::npos) return;
    size_t end = mnemonicAt + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    int ux = x + f->TextWidth(text.substr(0, mnemonicAt));
    int uw = f->TextWidth(text.substr(mnemonicAt, end - mnemonicAt));
    frame.Fill(ux, baseline + 2, ux + uw, baseline + 3, color);
}

// A tick two pixels thick: down-right for three rows, then up-right for five.
void DrawCheck(Bitmap& frame, int x, int centreY, uint32_t color) {
    for (int i = 0; i < 3; ++i)
        frame.Fill(x + i, centreY - 1 + i, x + i + 1, centreY + 1 + i, color);
    for (int i = 0; i < 5; ++i)
        frame.Fill(x + 3 + i, centreY + 1 - i, x + 4 + i, centreY + 3 - i, color);
}

void DrawPopup(Bitmap& frame, const std::vector<MenuItem>& items, const RECT& r, int selected) {
    frame.Fill(r.left, r.top, r.right, r.bottom, kPopupBorder);
    frame.Fill(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1, kPopupColor);
    int y = r.top + 2;
    for (size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = items[i];
        if (item.separator) {
            frame.Fill(r.left + 6, y + kSeparatorHeight / 2, r.right - 6,
                       y + kSeparatorHeight / 2 + 1, kSeparator);
            y += kSeparatorHeight;
            continue;
        }
        bool hot = static_cast<int>(i) == selected;
        int h = ItemHeight();
        if (hot) frame.Fill(r.left + 2, y, r.right - 2, y + h, kHot);
        uint32_t color = !item.enabled ? kDisabledText : hot ? kHotText : kText;
        if (item.checked) DrawCheck(frame, r.left + 8, y + h / 2, color);
        DrawLabel(frame, r.left + kPopupPadding, y, h, item.label, color, r);
        if (item.popup) DrawLabel(frame, r.right - 16, y, h, ">", color, r);
        std::string chord = MenuShortcutText(item.label);
        if (!chord.empty()) {
            // Drawn as plain text: a "&" in a chord is no mnemonic mark.
            std::string literal;
            for (char c : chord) literal += c == '&' ? std::string("&&") : std::string(1, c);
            DrawLabel(frame, r.right - kPopupPadding - PlainWidth(chord), y, h, literal, color, r);
        }
        y += h;
    }
}

}  // namespace

char32_t MenuMnemonic(const std::string& label) {
    size_t at = std::string::npos;
    std::string text = MenuDisplayText(label, &at);
    if (at == std::string::npos) return 0;
    char32_t c = DecodeUtf8(text.substr(at, 4))[0];
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

std::string MenuShortcutText(const std::string& label) {
    size_t tab = label.find('\t');
    return tab == std::string::npos ? std::string() : label.substr(tab + 1);
}

std::string MenuDisplayText(const std::string& fullLabel, size_t* mnemonicAt) {
    std::string label = fullLabel.substr(0, fullLabel.find('\t'));
    std::string out;
    size_t at = std::string::npos;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '&' && i + 1 < label.size()) {
            ++i;
            if (label[i] != '&' && at == std::string::npos) at = out.size();
        }
        out += label[i];
    }
    if (mnemonicAt) *mnemonicAt = at;
    return out;
}

bool SetMenu(HWND hwnd, const Menu& menu) {
    Window* w = Find(hwnd);
    if (!w || !w->top) return false;
    if (MenuActive(*w)) MenuLeave(*w);
    w->top->menu.menu = menu;
    w->top->menuBarHeight = menu.items.empty() ? 0 : BarHeight();
    Changed(*w);
    RECT client;
    GetClientRect(hwnd, client);
    SendMessage(hwnd, WM_SIZE, w->top->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                MakeLParam(client.right, client.bottom));
    if (Window* again = Find(hwnd)) InvalidateAll(again);
    return true;
}

bool HasMenu(HWND hwnd) {
    Window* w = Find(hwnd);
    return w && w->top && !w->top->menu.menu.items.empty();
}

bool GetMenu(HWND hwnd, Menu& out) {
    Window* w = Find(hwnd);
    if (!w || !w->top || w->top->menu.menu.items.empty()) return false;
    out = w->top->menu.menu;
    return true;
}

int MenuBarHeight(HWND hwnd) {
    Window* w = Find(hwnd);
    return w && w->top ? w->top->menuBarHeight : 0;
}

int TrackPopupMenu(const Menu& menu, uint32_t flags, int x, int y, HWND owner) {
    Window* top = Find(GetTopLevel(owner));
    if (!top || menu.items.empty()) return 0;
    if (MenuActive(*top)) MenuLeave(*top);
    MenuState& s = top->top->menu;
    s.tracking = true;
    s.tracked = menu;
    s.trackedAt = {x - top->rect.left, y - top->rect.top};
    s.active = true;
    s.selected = {-1};
    s.chosen = 0;
    s.done = false;
    Changed(*top);
    HWND topHandle = top->Handle();
    MSG msg;
    for (;;) {
        Window* again = Find(topHandle);
        if (!again || again->top->menu.done) break;
        if (!GetMessage(msg)) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop must see it too
            if (Window* t = Find(topHandle)) MenuLeave(*t);
            break;
        }
        TranslateMessage(msg);
        DispatchMessage(msg);
    }
    Window* again = Find(topHandle);
    uint32_t chosen = again ? again->top->menu.chosen : 0;
    if (again) again->top->menu.tracking = false;
    if (!chosen) return 0;
    if (flags & TPM_RETURNCMD) return static_cast<int>(chosen);
    PostMessage(owner, WM_COMMAND, chosen, 0);
    return 1;
}

bool MenuHandleKey(HWND top, uint32_t vk) {
    Window* w = Find(top);
    return w && w->top && MenuKey(*w, vk);
}

bool MenuIsActive(HWND top) {
    Window* w = Find(top);
    return w && MenuActive(*w);
}

namespace detail {

bool MenuActive(const Window& top) {
    return top.top && top.top->menu.active;
}

void MenuLeave(Window& top) {
    MenuState& s = top.top->menu;
    s.active = false;
    s.open = false;
    s.barIndex = -1;
    s.selected.clear();
    s.popupRects.clear();
    if (s.tracking) s.done = true;
    Changed(top);
}

void MenuEnter(Window& top, char32_t mnemonic) {
    MenuState& s = top.top->menu;
    if (s.menu.items.empty() || s.tracking) return;
    if (mnemonic == 0 || mnemonic == ' ') {
        if (s.active) {
            MenuLeave(top);
            return;
        }
        s.active = true;
        s.barIndex = 0;
        s.open = false;
        s.selected.clear();
        Changed(top);
        return;
    }
    if (mnemonic >= 'A' && mnemonic <= 'Z') mnemonic += 'a' - 'A';
    MenuLeave(top);
    Mnemonic(top, mnemonic);
}

bool MenuKey(Window& top, uint32_t vk) {
    MenuState& s = top.top->menu;
    if (!s.active) return false;
    bool inPopup = !s.selected.empty();
    switch (vk) {
        case VK_ESCAPE:
            if (s.selected.size() > 1) {
                s.selected.pop_back();
                Changed(top);
            } else if (inPopup && !s.tracking) {
                s.open = false;
                s.selected.clear();
                Changed(top);
            } else {
                MenuLeave(top);
            }
            return true;
        case VK_MENU:
        case VK_F10:
            MenuLeave(top);
            return true;
        case VK_LEFT:
            if (s.selected.size() > 1) {
                s.selected.pop_back();
                Changed(top);
            } else if (!s.tracking) {
                MoveBar(top, -1);
            }
            return true;
        case VK_RIGHT: {
            if (inPopup) {
                size_t level = s.selected.size() - 1;
                const std::vector<MenuItem>* items = LevelItems(s, level);
                int sel = s.selected[level];
                if (items && sel >= 0 && (*items)[sel].popup) {
                    Activate(top, level, sel);
                    return true;
                }
            }
            if (!s.tracking) MoveBar(top, 1);
            return true;
        }
        case VK_UP:
        case VK_DOWN:
            if (!inPopup)
                OpenBarItem(top, std::max(s.barIndex, 0), true);
            else
                MoveSelection(top, vk == VK_DOWN ? 1 : -1);
            return true;
        case VK_RETURN:
        case VK_SPACE:
            if (!inPopup) {
                const MenuItem& item = s.menu.items[std::max(s.barIndex, 0)];
                if (item.popup)
                    OpenBarItem(top, std::max(s.barIndex, 0), true);
                else
                    Choose(top, item.id);
            } else {
                Activate(top, s.selected.size() - 1, s.selected.back());
            }
            return true;
        default:
            if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
                Mnemonic(top, vk >= 'A' && vk <= 'Z' ? vk - 'A' + 'a' : vk);
            return true;
    }
}

bool MenuMouse(Window& top, uint32_t message, int x, int y) {
    MenuState& s = top.top->menu;
    bool down = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN;
    bool up = message == WM_LBUTTONUP || message == WM_RBUTTONUP;
    Relayout(top);
    for (size_t level = s.popupRects.size(); level-- > 0;) {
        const RECT& r = s.popupRects[level];
        if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) continue;
        const std::vector<MenuItem>* items = LevelItems(s, level);
        int index = items ? ItemAt(*items, r, y) : -1;
        if (index < 0 || !Selectable((*items)[index])) return true;
        if (message == WM_MOUSEMOVE) {
            if (level < s.selected.size() && s.selected[level] != index) {
                s.selected.resize(level + 1);
                s.selected[level] = index;
                Changed(top);
            }
        } else if (up || (down && (*items)[index].popup)) {
            Activate(top, level, index);
        }
        return true;
    }
    int bar = top.top->menuBarHeight;
    if (!s.tracking && bar > 0 && y >= 0 && y < bar) {
        int hit = -1;
        for (size_t i = 0; i < s.menu.items.size(); ++i) {
            auto [left, width] = BarItem(s.menu, static_cast<int>(i));
            if (x >= left && x < left + width) hit = static_cast<int>(i);
        }
        if (down) {
            if (hit < 0 || (s.active && s.open && hit == s.barIndex))
                MenuLeave(top);
            else
                OpenBarItem(top, hit, false);
        } else if (up && hit >= 0 && s.active && !s.menu.items[hit].popup) {
            Choose(top, s.menu.items[hit].id);
        } else if (message == WM_MOUSEMOVE && hit >= 0 && s.active && s.open && hit != s.barIndex) {
            OpenBarItem(top, hit, false);
        }
        return true;
    }
    if (!s.active) return false;
    // A click anywhere else closes the menu. With a popup showing it goes no
    // further; with only the bar highlighted (a popup closed with Escape,
    // Alt alone) nothing covers the window, so the click reaches it.
    if (down) {
        bool popupShown = s.tracking || !s.selected.empty();
        MenuLeave(top);
        return popupShown;
    }
    return true;
}

void MenuCompose(Window& top) {
    TopLevel& t = *top.top;
    t.frame = t.canvas;
    MenuState& s = t.menu;
    RECT whole{0, 0, t.frame.width, t.frame.height};
    if (t.menuBarHeight > 0) {
        int bar = t.menuBarHeight;
        t.frame.Fill(0, 0, t.frame.width, bar - 1, kBarColor);
        t.frame.Fill(0, bar - 1, t.frame.width, bar, kBarLine);
        for (size_t i = 0; i < s.menu.items.size(); ++i) {
            auto [left, width] = BarItem(s.menu, static_cast<int>(i));
            bool hot = s.active && !s.tracking && s.barIndex == static_cast<int>(i);
            if (hot) t.frame.Fill(left, 1, left + width, bar - 2, kBarHot);
            DrawLabel(t.frame, left + kBarPadding, 0, bar - 1, s.menu.items[i].label,
                      s.menu.items[i].enabled ? kText : kDisabledText, whole);
        }
    }
    Relayout(top);
    for (size_t level = 0; level < s.popupRects.size(); ++level) {
        const std::vector<MenuItem>* items = LevelItems(s, level);
        if (!items) break;
        DrawPopup(t.frame, *items, s.popupRects[level],
                  level < s.selected.size() ? s.selected[level] : -1);
    }
}

}  // namespace detail

}  // namespace mtxOs
