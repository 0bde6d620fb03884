// Keys typed faster than the window reads them, through a real window of the
// display (its off-screen driver): the events are all pumped before the first
// is read, so the keyboard's state by then is not the state they were typed in.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/wnd.h"
#include "platform/accelerator.h"
#include "tests/support/test_support.h"

using namespace mtxOs;

namespace {

constexpr uint16_t kSave = 40106;

struct Seen {
    uint32_t message, key;
    bool ctrl, shift;
};

class KeyTarget : public mtxWnd {
  public:
    LRESULT WindowProc(uint32_t message, WPARAM wParam, LPARAM lParam) override {
        bool key = message == WM_KEYDOWN || message == WM_CHAR || message == WM_LBUTTONDOWN ||
                   message == WM_MOUSEWHEEL;
        if (message == WM_MOUSEWHEEL)
            wheelPoints.push_back({XFromLParam(lParam), YFromLParam(lParam)});
        if (key)
            seen.push_back({message, static_cast<uint32_t>(wParam), GetKeyState(VK_CONTROL) < 0,
                            GetKeyState(VK_SHIFT) < 0});
        if (message == WM_COMMAND) commands.push_back(static_cast<uint32_t>(wParam & 0xFFFF));
        return mtxWnd::WindowProc(message, wParam, lParam);
    }
    std::vector<Seen> seen;
    std::vector<uint32_t> commands;
    std::vector<POINT> wheelPoints;  // as sent: on the screen
};

// Opens the window on the display's off-screen driver; the display's id of
// it, 0 when the display did not start.
uint32_t OpenOffScreen(KeyTarget& wnd) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    testing_support::SharedApp();
    SetHeadless(false);
    wnd.Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "keys", 0, 0, 200, 100, 0, nullptr);
    if (IsHeadless()) return 0;
    for (uint32_t i = 1; i < 64; ++i)
        if (SDL_GetWindowFromID(i)) return i;
    return 0;
}

void PushKey(uint32_t type, uint32_t windowId, SDL_Keycode sym, SDL_Scancode code, uint16_t mod) {
    SDL_Event e{};
    e.key.type = type;
    e.key.windowID = windowId;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym = {code, sym, mod, 0};
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

void PushClick(uint32_t windowId) {
    SDL_Event e{};
    e.button.type = SDL_MOUSEBUTTONDOWN;
    e.button.windowID = windowId;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = SDL_PRESSED;
    e.button.clicks = 1;
    e.button.x = 20;
    e.button.y = 20;
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

TEST(DisplayKeys, ChordsReadLateKeepTheModifiersTheyWereTypedWith) {
    KeyTarget wnd;
    const uint32_t id = OpenOffScreen(wnd);
    ASSERT_NE(id, 0u) << "the off-screen display did not start";

    // Ctrl+S, then S alone, then a Shift+click, all before any is read.
    PushKey(SDL_KEYDOWN, id, SDLK_LCTRL, SDL_SCANCODE_LCTRL, KMOD_LCTRL);
    PushKey(SDL_KEYDOWN, id, SDLK_s, SDL_SCANCODE_S, KMOD_LCTRL);
    PushKey(SDL_KEYUP, id, SDLK_s, SDL_SCANCODE_S, KMOD_LCTRL);
    PushKey(SDL_KEYUP, id, SDLK_LCTRL, SDL_SCANCODE_LCTRL, KMOD_NONE);
    PushKey(SDL_KEYDOWN, id, SDLK_s, SDL_SCANCODE_S, KMOD_NONE);
    PushKey(SDL_KEYUP, id, SDLK_s, SDL_SCANCODE_S, KMOD_NONE);
    PushKey(SDL_KEYDOWN, id, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT);
    PushClick(id);
    PushKey(SDL_KEYUP, id, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_NONE);

    AcceleratorTable table({{FVIRTKEY | FCONTROL, 'S', kSave}});
    MSG msg;
    for (int round = 0; round < 3; ++round) {
        while (PeekMessage(msg, true)) {
            if (TranslateAccelerator(wnd.Handle(), table, msg)) continue;
            TranslateMessage(msg);
            DispatchMessage(msg);
        }
        WaitMessage(10);
    }

    // The chord was the accelerator's: one command, and neither its key nor
    // a control character reached the window.
    EXPECT_EQ(wnd.commands, std::vector<uint32_t>{kSave});
    std::vector<uint32_t> sKeys;
    for (const Seen& s : wnd.seen)
        if (s.message == WM_KEYDOWN && s.key == 'S') {
            sKeys.push_back(s.key);
            EXPECT_FALSE(s.ctrl) << "S typed after Ctrl was released";
        }
    EXPECT_EQ(sKeys.size(), 1u);
    for (const Seen& s : wnd.seen) EXPECT_NE(s.message == WM_CHAR && s.key == 0x13, true);
    bool clicked = false;
    for (const Seen& s : wnd.seen)
        if (s.message == WM_LBUTTONDOWN) {
            clicked = true;
            EXPECT_TRUE(s.shift);
            EXPECT_TRUE(s.key & MK_SHIFT);
            EXPECT_FALSE(s.ctrl);
        }
    EXPECT_TRUE(clicked);
}

void PushWheel(uint32_t windowId, int y, bool flipped) {
    SDL_Event e{};
    e.wheel.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = windowId;
    e.wheel.y = y;
    e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

// The display's wheel reaches the window as WM_MOUSEWHEEL: the turn in
// WHEEL_DELTA steps (away from the user positive, whichever way the device
// is set), Ctrl as it was held when turned, the point on the screen.
TEST(DisplayKeys, TheWheelComesWithItsTurnAndTheModifiersItWasTurnedWith) {
    KeyTarget wnd;
    const uint32_t id = OpenOffScreen(wnd);
    ASSERT_NE(id, 0u) << "the off-screen display did not start";

    PushKey(SDL_KEYDOWN, id, SDLK_LCTRL, SDL_SCANCODE_LCTRL, KMOD_LCTRL);
    PushWheel(id, 1, false);
    PushKey(SDL_KEYUP, id, SDLK_LCTRL, SDL_SCANCODE_LCTRL, KMOD_NONE);
    PushWheel(id, -2, false);
    PushWheel(id, 1, true);
    MSG msg;
    for (int round = 0; round < 3; ++round) {
        while (PeekMessage(msg, true)) {
            TranslateMessage(msg);
            DispatchMessage(msg);
        }
        WaitMessage(10);
    }
    std::vector<std::pair<int, bool>> turns;
    for (const Seen& s : wnd.seen)
        if (s.message == WM_MOUSEWHEEL)
            turns.emplace_back(int16_t(HiWord(s.key)), (s.key & MK_CONTROL) != 0);
    EXPECT_EQ(turns, (std::vector<std::pair<int, bool>>{
                         {WHEEL_DELTA, true}, {-2 * WHEEL_DELTA, false}, {-WHEEL_DELTA, false}}));
    // The point is the pointer's, on the screen.
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    for (POINT p : wnd.wheelPoints) {
        ASSERT_TRUE(ScreenToClient(wnd.Handle(), p));
        EXPECT_EQ(p.x, x);
        EXPECT_EQ(p.y, y);
    }
}

}  // namespace
