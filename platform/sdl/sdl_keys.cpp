#include "platform/sdl/sdl_keys.h"

#include <SDL2/SDL.h>

#include "platform/window_messages.h"

namespace mtxOs::detail {

namespace {

struct KeyPair {
    SDL_Keycode key;
    uint32_t vk;
};

// Keys whose code does not follow from their character.
constexpr KeyPair kKeys[] = {
    {SDLK_BACKSPACE, VK_BACK},
    {SDLK_TAB, VK_TAB},
    {SDLK_RETURN, VK_RETURN},
    {SDLK_KP_ENTER, VK_RETURN},
    {SDLK_ESCAPE, VK_ESCAPE},
    {SDLK_SPACE, VK_SPACE},
    {SDLK_PAGEUP, VK_PRIOR},
    {SDLK_PAGEDOWN, VK_NEXT},
    {SDLK_END, VK_END},
    {SDLK_HOME, VK_HOME},
    {SDLK_LEFT, VK_LEFT},
    {SDLK_UP, VK_UP},
    {SDLK_RIGHT, VK_RIGHT},
    {SDLK_DOWN, VK_DOWN},
    {SDLK_INSERT, VK_INSERT},
    {SDLK_DELETE, VK_DELETE},
    {SDLK_PRINTSCREEN, VK_SNAPSHOT},
    {SDLK_PAUSE, VK_PAUSE},
    {SDLK_CAPSLOCK, VK_CAPITAL},
    {SDLK_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDLK_SCROLLLOCK, VK_SCROLL},
    {SDLK_LSHIFT, VK_SHIFT},
    {SDLK_RSHIFT, VK_SHIFT},
    {SDLK_LCTRL, VK_CONTROL},
    {SDLK_RCTRL, VK_CONTROL},
    {SDLK_LALT, VK_MENU},
    {SDLK_RALT, VK_MENU},
    {SDLK_LGUI, VK_LWIN},
    {SDLK_RGUI, VK_RWIN},
    {SDLK_APPLICATION, VK_APPS},
    {SDLK_KP_MULTIPLY, VK_MULTIPLY},
    {SDLK_KP_PLUS, VK_ADD},
    {SDLK_KP_MINUS, VK_SUBTRACT},
    {SDLK_KP_PERIOD, VK_DECIMAL},
    {SDLK_KP_DIVIDE, VK_DIVIDE},
    {SDLK_SEMICOLON, VK_OEM_1},
    {SDLK_EQUALS, VK_OEM_PLUS},
    {SDLK_COMMA, VK_OEM_COMMA},
    {SDLK_MINUS, VK_OEM_MINUS},
    {SDLK_PERIOD, VK_OEM_PERIOD},
    {SDLK_SLASH, VK_OEM_2},
    {SDLK_BACKQUOTE, VK_OEM_3},
    {SDLK_LEFTBRACKET, VK_OEM_4},
    {SDLK_BACKSLASH, VK_OEM_5},
    {SDLK_RIGHTBRACKET, VK_OEM_6},
    {SDLK_QUOTE, VK_OEM_7},
};

}  // namespace

uint32_t VirtualKeyOf(int32_t keyCode, int scanCode) {
    if (keyCode >= SDLK_a && keyCode <= SDLK_z) return 'A' + (keyCode - SDLK_a);
    if (keyCode >= SDLK_0 && keyCode <= SDLK_9) return '0' + (keyCode - SDLK_0);
    if (keyCode >= SDLK_F1 && keyCode <= SDLK_F12) return VK_F1 + (keyCode - SDLK_F1);
    if (keyCode >= SDLK_F13 && keyCode <= SDLK_F24) return VK_F1 + 12 + (keyCode - SDLK_F13);
    if (keyCode >= SDLK_KP_1 && keyCode <= SDLK_KP_9) return VK_NUMPAD0 + 1 + (keyCode - SDLK_KP_1);
    if (keyCode == SDLK_KP_0) return VK_NUMPAD0;
    for (const KeyPair& k : kKeys)
        if (k.key == keyCode) return k.vk;
    // Letters of other layouts: fall back on the key's position.
    if (scanCode >= SDL_SCANCODE_A && scanCode <= SDL_SCANCODE_Z)
        return 'A' + (scanCode - SDL_SCANCODE_A);
    return 0;
}

int ScancodeOf(uint32_t vk) {
    if (vk >= 'A' && vk <= 'Z') return SDL_GetScancodeFromKey(SDLK_a + (vk - 'A'));
    if (vk >= '0' && vk <= '9') return SDL_GetScancodeFromKey(SDLK_0 + (vk - '0'));
    if (vk >= VK_F1 && vk < VK_F1 + 12) return SDL_GetScancodeFromKey(SDLK_F1 + (vk - VK_F1));
    for (const KeyPair& k : kKeys)
        if (k.vk == vk) return SDL_GetScancodeFromKey(k.key);
    return SDL_SCANCODE_UNKNOWN;
}

}  // namespace mtxOs::detail
