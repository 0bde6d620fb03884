// The display under the window system: SDL2 windows for top-level windows,
// SDL events turned into window messages, cursors, icons and the screen saver.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/drop_files.h"
#include "platform/gl/driver_modules.h"
#include "platform/gl/gl_compositor.h"
#include "platform/sdl/sdl_keys.h"
#include "platform/text.h"
#include "platform/window/window_internal.h"

namespace mtxOs {

using namespace detail;

struct HCURSOR__ {
    SystemCursor system = SystemCursor::Arrow;
    bool isSystem = true;
    Bitmap picture;
    int hotX = 0, hotY = 0;
    SDL_Cursor* sdl = nullptr;
    uint32_t sdlOpening = 0;  // the display opening sdl was made in
};

struct HICON__ {
    Bitmap picture;
};

namespace {

int gVideo = -1;  // -1 not tried, 0 failed, 1 running
// Counts the times the display was opened: SDL frees its cursors when it is
// closed, so a cursor made in an earlier opening is made again.
uint32_t gOpening = 0;
uint32_t gWakeEvent = 0;
HCURSOR gCurrentCursor = nullptr;

SDL_Window* Sdl(const Window& w) {
    return static_cast<SDL_Window*>(w.top->display);
}

Window* TopOfSdl(uint32_t windowId) {
    for (Window* w : TopLevelsOfThisThread())
        if (w->top->display && SDL_GetWindowID(Sdl(*w)) == windowId) return w;
    return nullptr;
}

SDL_Surface* SurfaceOf(const Bitmap& b) {
    return SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(b.pixels.data()), b.width,
                                              b.height, 32, b.width * 4, SDL_PIXELFORMAT_ARGB8888);
}

uint32_t KeysOf(uint16_t mod) {
    uint32_t keys = 0;
    if (mod & KMOD_SHIFT) keys |= kKeyShift;
    if (mod & KMOD_CTRL) keys |= kKeyControl;
    if (mod & KMOD_LALT) keys |= kKeyAlt;
    if (mod & KMOD_RALT) keys |= kKeyAltGr;
    return keys;
}

// Buttons as they are now, modifiers as of the last key event pumped: the
// display's live state runs ahead of the events not yet read.
uint32_t MouseKeys() {
    uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
    uint32_t pumped = ThisQueue().pumpedKeys;
    uint32_t keys = 0;
    if (buttons & SDL_BUTTON_LMASK) keys |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK) keys |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK) keys |= MK_MBUTTON;
    if (pumped & kKeyShift) keys |= MK_SHIFT;
    if (pumped & kKeyControl) keys |= MK_CONTROL;
    return keys;
}

HWND KeyTarget(Window& top) {
    Queue& q = ThisQueue();
    if (q.focus && GetTopLevel(q.focus) == top.Handle()) return q.focus;
    return top.Handle();
}

void Activate(Window& top, bool active) {
    Queue& q = ThisQueue();
    HWND hwnd = top.Handle();
    if (active) {
        q.active = hwnd;
        SendMessage(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
        // While the window is active the screen saver and display power-down
        // wait, unless the window lets the system commands through.
        AllowScreenSaver(false);
        SendMessage(hwnd, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
        if (IsWindow(hwnd)) SendMessage(hwnd, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
        return;
    }
    if (MenuActive(top)) MenuLeave(top);
    SendMessage(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
    if (q.focus && GetTopLevel(q.focus) == hwnd) SetFocus(nullptr);
    if (q.active == hwnd) q.active = nullptr;
    AllowScreenSaver(true);
}

void Resized(Window& top, int width, int height) {
    top.rect.right = top.rect.left + width;
    top.rect.bottom = top.rect.top + height;
    top.top->canvas.Resize(width, height, 0xFFFFFFFF);
    top.top->needsPresent = true;
    HWND hwnd = top.Handle();
    RECT client;
    GetClientRect(hwnd, client);
    SendMessage(hwnd, WM_SIZE, top.top->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                MakeLParam(client.right, client.bottom));
    if (Window* again = Find(hwnd)) InvalidateAll(again);
}

void WindowEvent(const SDL_WindowEvent& e) {
    Window* top = TopOfSdl(e.windowID);
    if (!top) return;
    switch (e.event) {
        case SDL_WINDOWEVENT_CLOSE:
            PostMessage(top->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            Resized(*top, e.data1, e.data2);
            break;
        case SDL_WINDOWEVENT_MOVED: {
            int w = top->rect.right - top->rect.left, h = top->rect.bottom - top->rect.top;
            top->rect = {e.data1, e.data2, e.data1 + w, e.data2 + h};
            break;
        }
        case SDL_WINDOWEVENT_EXPOSED:
            top->top->needsPresent = true;
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            top->top->maximized = true;
            break;
        case SDL_WINDOWEVENT_RESTORED:
            top->top->maximized = false;
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            Activate(*top, true);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            Activate(*top, false);
            break;
    }
}

void KeyEvent(const SDL_KeyboardEvent& e) {
    Window* top = TopOfSdl(e.windowID);
    if (!top) return;
    Queue& q = ThisQueue();
    q.pumpedKeys = KeysOf(e.keysym.mod);
    uint32_t vk = VirtualKeyOf(e.keysym.sym, e.keysym.scancode);
    bool down = e.type == SDL_KEYDOWN;
    if (vk == VK_MENU) {
        if (down && !e.repeat) q.altAlone = true;
    } else if (down) {
        q.altAlone = false;
    }
    // Keys still queued go first: the menu takes them in turn if it opens.
    if (MenuActive(*top) && q.input.empty()) {
        // Alt released alone leaves the menu, as pressing it entered it.
        if (!down && vk == VK_MENU && q.altAlone) {
            q.altAlone = false;
            MenuLeave(*top);
        } else if (down) {
            q.readKeys = q.pumpedKeys;  // read by the menu at once
            MenuKey(*top, vk);
            q.menuAteKey = true;
        }
        return;
    }
    bool alt = (e.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
    bool sys = (alt && !(e.keysym.mod & KMOD_CTRL)) || vk == VK_F10;
    uint32_t message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    HWND target = KeyTarget(*top);
    LPARAM lParam = 1 | ((e.keysym.scancode & 0xFF) << 16);
    if (alt) lParam |= 1 << 29;
    if (!down) lParam |= (1u << 30) | (1u << 31);
    if (down && e.repeat) {
        lParam |= 1 << 30;
        // Repeats of a key that no one has read yet add to its repeat count.
        if (!q.input.empty()) {
            MSG& last = q.input.back();
            if (last.message == message && last.wParam == vk && last.hwnd == target &&
                (last.lParam & (1 << 30)) && (last.lParam & 0xFFFF) < 0xFFFF) {
                ++last.lParam;
                return;
            }
        }
    }
    QueueInput({target, message, vk, lParam, e.timestamp, {}});
}

void TextEvent(const SDL_TextInputEvent& e) {
    Window* top = TopOfSdl(e.windowID);
    if (!top) return;
    // Ctrl and Alt combinations are commands, not text (AltGr types text).
    uint32_t keys = ThisQueue().pumpedKeys;
    if (keys & (kKeyControl | kKeyAlt)) return;
    HWND target = KeyTarget(*top);
    for (char16_t unit : mtxUtf8ToUtf16(e.text))
        QueueInput({target, WM_CHAR, unit, 1, e.timestamp, {}});
}

void MouseMessage(Window& top, uint32_t message, int x, int y, WPARAM extra) {
    Queue& q = ThisQueue();
    int bar = top.top->menuBarHeight;
    POINT local{};
    HWND target = nullptr;
    Window* captured = Find(q.capture);
    if (captured && GetTopLevel(q.capture) == top.Handle()) {
        RECT r = RectInTop(captured);
        local = {x - r.left, y - bar - r.top};
        target = q.capture;
    } else {
        Window* w = HitTest(&top, x, y - bar, local);
        target = w->Handle();
        SendMessage(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                    MakeLParam(HTCLIENT, message));
    }
    if (!IsWindow(target)) return;
    QueueInput({target,
                message,
                MouseKeys() | extra,
                MakeLParam(local.x, local.y),
                SDL_GetTicks(),
                {x, y}});
}

void MouseButton(const SDL_MouseButtonEvent& e) {
    Window* top = TopOfSdl(e.windowID);
    if (!top) return;
    bool down = e.type == SDL_MOUSEBUTTONDOWN;
    uint32_t base = e.button == SDL_BUTTON_LEFT     ? WM_LBUTTONDOWN
                    : e.button == SDL_BUTTON_RIGHT  ? WM_RBUTTONDOWN
                    : e.button == SDL_BUTTON_MIDDLE ? WM_MBUTTONDOWN
                                                    : 0;
    if (!base) return;
    if (MenuMouse(*top, down ? base : base + 1, e.x, e.y)) return;
    uint32_t message = down ? base : base + 1;
    if (down && e.clicks % 2 == 0) {
        POINT local;
        Window* w = HitTest(top, e.x, e.y - top->top->menuBarHeight, local);
        if (w->cls.style & CS_DBLCLKS) message = base + 2;
    }
    MouseMessage(*top, message, e.x, e.y, 0);
}

void MouseMotion(const SDL_MouseMotionEvent& e) {
    Window* top = TopOfSdl(e.windowID);
    if (!top) return;
    if (MenuMouse(*top, WM_MOUSEMOVE, e.x, e.y)) return;
    // Moves that no one has read yet are merged, as the system does.
    Queue& q = ThisQueue();
    if (!q.input.empty() && q.input.back().message == WM_MOUSEMOVE) q.input.pop_back();
    MouseMessage(*top, WM_MOUSEMOVE, e.x, e.y, 0);
}

void MouseWheel(const SDL_MouseWheelEvent& e) {
    Window* top = TopOfSdl(e.windowID);
    if (!top || e.y == 0 || MenuActive(*top)) return;
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    int delta = (e.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.y : e.y) * WHEEL_DELTA;
    HWND target = ThisQueue().focus;
    if (!target || GetTopLevel(target) != top->Handle()) {
        POINT local;
        target = HitTest(top, x, y - top->top->menuBarHeight, local)->Handle();
    }
    QueueInput({target,
                WM_MOUSEWHEEL,
                (static_cast<WPARAM>(static_cast<uint16_t>(delta)) << 16) | MouseKeys(),
                MakeLParam(x + top->rect.left, y + top->rect.top),
                e.timestamp,
                {x, y}});
}

// Where the pointer is over the window's client area, as the point of a drop
// (the display names no point of its own); false when it is outside.
bool PointerInClient(Window& top, POINT& at) {
    int x = 0, y = 0, left = 0, upper = 0;
    SDL_GetGlobalMouseState(&x, &y);
    SDL_GetWindowPosition(Sdl(top), &left, &upper);
    RECT client;
    GetClientRect(top.Handle(), client);
    at = {x - left, y - upper - top.top->menuBarHeight};
    return at.x >= 0 && at.y >= 0 && at.x < client.right && at.y < client.bottom;
}

void QueueDrop(Window& top, std::vector<std::string> paths) {
    POINT at;
    bool known = PointerInClient(top, at);
    QueueFileDrop(top.Handle(), paths, known ? &at : nullptr);
}

// The files of one drop come one event each between a begin and a complete
// event; each file's text is the display's to free, whatever becomes of it.
void DropEvent(const SDL_DropEvent& e) {
    std::string path;
    if (e.file) {
        path = e.file;
        SDL_free(e.file);
    }
    Window* top = e.windowID ? TopOfSdl(e.windowID) : nullptr;
    if (!top) return;
    TopLevel& t = *top->top;
    switch (e.type) {
        case SDL_DROPBEGIN:
            t.dropping = true;
            t.dropped.clear();
            break;
        case SDL_DROPFILE:
            if (path.empty()) break;
            if (t.dropping)
                t.dropped.push_back(path);
            else
                QueueDrop(*top, {path});  // a display that announces no begin
            break;
        case SDL_DROPCOMPLETE:
            if (!t.dropped.empty()) QueueDrop(*top, std::move(t.dropped));
            t.dropped.clear();
            t.dropping = false;
            break;
        default:  // dropped text is not a file
            break;
    }
}

void Translate(const SDL_Event& e) {
    switch (e.type) {
        case SDL_WINDOWEVENT:
            WindowEvent(e.window);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            KeyEvent(e.key);
            break;
        case SDL_TEXTINPUT:
            TextEvent(e.text);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            MouseButton(e.button);
            break;
        case SDL_MOUSEMOTION:
            MouseMotion(e.motion);
            break;
        case SDL_MOUSEWHEEL:
            MouseWheel(e.wheel);
            break;
        case SDL_DROPBEGIN:
        case SDL_DROPFILE:
        case SDL_DROPTEXT:
        case SDL_DROPCOMPLETE:
            DropEvent(e.drop);
            break;
        case SDL_QUIT:
            // A request to end (a termination signal): every window is asked to
            // close, as when its close box is pressed, so the program shuts
            // down in order and keeps its settings.
            for (Window* top : TopLevelsOfThisThread())
                PostMessage(top->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        default:
            break;
    }
}

SDL_Cursor* SdlCursor(HCURSOR c) {
    if (!c || gVideo != 1) return nullptr;
    if (c->sdl && c->sdlOpening == gOpening) return c->sdl;
    c->sdl = nullptr;
    if (c->isSystem && c->system == SystemCursor::Hidden) return nullptr;
    if (c->isSystem) {
        static const SDL_SystemCursor kinds[] = {
            SDL_SYSTEM_CURSOR_ARROW,     SDL_SYSTEM_CURSOR_IBEAM,  SDL_SYSTEM_CURSOR_WAIT,
            SDL_SYSTEM_CURSOR_CROSSHAIR, SDL_SYSTEM_CURSOR_HAND,   SDL_SYSTEM_CURSOR_SIZEALL,
            SDL_SYSTEM_CURSOR_SIZEWE,    SDL_SYSTEM_CURSOR_SIZENS, SDL_SYSTEM_CURSOR_NO};
        c->sdl = SDL_CreateSystemCursor(kinds[static_cast<int>(c->system)]);
    } else if (SDL_Surface* s = SurfaceOf(c->picture)) {
        c->sdl = SDL_CreateColorCursor(s, c->hotX, c->hotY);
        SDL_FreeSurface(s);
    }
    c->sdlOpening = gOpening;
    return c->sdl;
}

// SDL falls back to drivers that show nothing when no real display answers
// (a server gone, or resetting as its last client left): windows there
// would be invisible, and a program showing only those would seem to hang.
// Such a driver named in SDL_VIDEODRIVER was asked for, and stays.
bool ShowsWindows(const char* driver) {
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    if (asked && *asked) return true;
    return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

}  // namespace

namespace detail {

bool DisplayAvailable() {
    if (gVideo < 0) {
        SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        mtxGlPrepareDriver();
        gVideo = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 ? 1 : 0;
        if (gVideo && !ShowsWindows(SDL_GetCurrentVideoDriver())) {
            SDL_SetError("no X11 or Wayland display answered (DISPLAY=%s)",
                         std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            gVideo = 0;
        }
        if (gVideo) {
            ++gOpening;
            gWakeEvent = SDL_RegisterEvents(1);
            SDL_StartTextInput();
        } else {
            std::fprintf(stderr, "daubry: no display to open windows on: %s\n", SDL_GetError());
        }
    }
    return gVideo == 1;
}

void DisplayClose() {
    if (gVideo != 1) return;
    SDL_StopTextInput();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    gVideo = -1;
}

bool DisplayCreate(Window& w) {
    uint32_t flags = SDL_WINDOW_HIDDEN;
    if (w.style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if ((w.style & WS_POPUP) || !(w.style & WS_CAPTION)) flags |= SDL_WINDOW_BORDERLESS;
    if (w.exStyle & WS_EX_TOOLWINDOW) flags |= SDL_WINDOW_UTILITY;
    int width = std::max(1, w.rect.right - w.rect.left);
    int height = std::max(1, w.rect.bottom - w.rect.top);
    // OpenGL windows, so a device can draw into them: the attributes go
    // before creation. Without OpenGL the window is a plain one.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* s = SDL_CreateWindow(w.title.c_str(), w.rect.left, w.rect.top, width, height,
                                     flags | SDL_WINDOW_OPENGL);
    if (!s) {
        std::fprintf(stderr, "daubry: no OpenGL window (%s); a plain one instead\n",
                     SDL_GetError());
        s = SDL_CreateWindow(w.title.c_str(), w.rect.left, w.rect.top, width, height, flags);
    }
    if (!s) {
        std::fprintf(stderr, "daubry: cannot open a window: %s\n", SDL_GetError());
        return false;
    }
    w.top->display = s;
    DisplaySetIcon(w);
    return true;
}

void DisplayDestroy(Window& w) {
    if (w.top->display) mtxGlCompositor::Destroy(w.top->display);
    if (w.top->display) SDL_DestroyWindow(Sdl(w));
    w.top->display = nullptr;
}

// A window asked to show maximised for the first time first takes 80% of
// the screen, centred: where no window manager maximises it, that is where it
// stays, and where one does, it is what restoring gives back.
static void PlaceForFirstShow(Window& w) {
    SDL_Window* s = Sdl(w);
    int display = std::max(0, SDL_GetWindowDisplayIndex(s));
    SDL_Rect bounds = {};
    if (SDL_GetDisplayUsableBounds(display, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) return;
    int width = bounds.w * 8 / 10, height = bounds.h * 8 / 10;
    int left = bounds.x + (bounds.w - width) / 2, top = bounds.y + (bounds.h - height) / 2;
    w.rect = {left, top, left + width, top + height};
    DisplayMove(w);
}

void DisplayShow(Window& w, int command) {
    if (!w.top->display) return;
    SDL_Window* s = Sdl(w);
    if (command == SW_SHOWMAXIMIZED && !w.shownOnce) PlaceForFirstShow(w);
    switch (command) {
        case SW_HIDE:
            SDL_HideWindow(s);
            return;
        case SW_SHOWMINIMIZED:
            SDL_MinimizeWindow(s);
            return;
        case SW_SHOWMAXIMIZED:
            SDL_ShowWindow(s);
            SDL_MaximizeWindow(s);
            break;
        case SW_RESTORE:
            SDL_RestoreWindow(s);
            break;
        default:
            SDL_ShowWindow(s);
            break;
    }
    SDL_RaiseWindow(s);
    w.top->needsPresent = true;
}

void DisplayMove(Window& w) {
    if (!w.top->display) {
        w.top->canvas.Resize(w.rect.right - w.rect.left, w.rect.bottom - w.rect.top, 0xFFFFFFFF);
        return;
    }
    SDL_SetWindowPosition(Sdl(w), w.rect.left, w.rect.top);
    SDL_SetWindowSize(Sdl(w), std::max(1, w.rect.right - w.rect.left),
                      std::max(1, w.rect.bottom - w.rect.top));
    int width = 0, height = 0;
    SDL_GetWindowSize(Sdl(w), &width, &height);
    w.top->canvas.Resize(width, height, 0xFFFFFFFF);
    w.rect.right = w.rect.left + width;
    w.rect.bottom = w.rect.top + height;
}

void DisplaySetTitle(Window& w) {
    if (w.top->display) SDL_SetWindowTitle(Sdl(w), w.title.c_str());
}

void DisplaySetIcon(Window& w) {
    if (!w.top->display || !w.top->icon) return;
    if (SDL_Surface* s = SurfaceOf(w.top->icon->picture)) {
        SDL_SetWindowIcon(Sdl(w), s);
        SDL_FreeSurface(s);
    }
}

uint32_t DisplayFlush(Window& top) {
    static_assert(kNoPresentPending == mtxGlCompositor::kNothingPending);
    if (!top.top || !top.top->display) return kNoPresentPending;
    mtxGlCompositor* compositor = mtxGlCompositor::Of(top.top->display, false);
    return compositor ? compositor->Flush() : kNoPresentPending;
}

void* DisplayDeviceSurface(Window& child) {
    Window* top = &child;
    while (top->parent) top = top->parent;
    if (!child.parent || !top->top || !top->top->display) return nullptr;
    if (!mtxGlCompositor::Of(top->top->display, true)) return nullptr;
    if (!child.deviceSurface) {
        auto surface = std::make_shared<mtxGlDeviceSurface>();
        surface->display = top->top->display;
        surface->layer = child.handle;
        child.deviceSurface = surface;
    }
    return child.deviceSurface.get();
}

namespace {

bool ShownInTop(const Window* w) {
    for (; w; w = w->parent)
        if (!w->visible) return false;
    return true;
}

// Where each device layer lies now: its child window's area below the menu bar.
void PlaceLayers(mtxGlCompositor& compositor, Window& top, Window& w) {
    for (Window* c : w.children) {
        if (c->deviceSurface) {
            RECT r = RectInTop(c);
            int bar = top.top->menuBarHeight;
            compositor.SetLayerPlace(c->handle, {r.left, r.top + bar, r.right, r.bottom + bar},
                                     ShownInTop(c));
        }
        PlaceLayers(compositor, top, *c);
    }
}

}  // namespace

void DisplayPresent(Window& w) {
    if (!w.top->display) return;
    if (mtxGlCompositor* compositor = mtxGlCompositor::Of(w.top->display, true)) {
        compositor->SetFrame(w.top->frame, w.top->menu.popupRects);
        PlaceLayers(*compositor, w, w);
        compositor->Compose();
        return;
    }
    SDL_Surface* screen = SDL_GetWindowSurface(Sdl(w));
    SDL_Surface* frame = SurfaceOf(w.top->frame);
    if (!screen || !frame) {
        if (frame) SDL_FreeSurface(frame);
        return;
    }
    SDL_BlitSurface(frame, nullptr, screen, nullptr);
    SDL_FreeSurface(frame);
    SDL_UpdateWindowSurface(Sdl(w));
}

bool DisplaySetClipboardText(const std::string& utf8) {
    return gVideo == 1 && SDL_SetClipboardText(utf8.c_str()) == 0;
}

bool DisplayGetClipboardText(std::string& utf8) {
    if (gVideo != 1 || !SDL_HasClipboardText()) return false;
    char* text = SDL_GetClipboardText();
    if (!text) return false;
    utf8 = text;
    SDL_free(text);
    return true;
}

void DisplayCaptureMouse(bool on) {
    if (gVideo == 1) SDL_CaptureMouse(on ? SDL_TRUE : SDL_FALSE);
}

void DisplayPump(uint32_t timeoutMs) {
    if (gVideo != 1) return;
    SDL_Event e;
    if (timeoutMs > 0) {
        if (!SDL_WaitEventTimeout(&e, static_cast<int>(timeoutMs))) return;
        Translate(e);
    }
    while (SDL_PollEvent(&e)) Translate(e);
}

void DisplayWake() {
    if (gVideo != 1) return;
    SDL_Event e{};
    e.type = gWakeEvent;
    SDL_PushEvent(&e);
}

bool DisplayDesktop(RECT& out) {
    SDL_Rect r;
    if (gVideo != 1 || SDL_GetDisplayBounds(0, &r) != 0) return false;
    out = {r.x, r.y, r.x + r.w, r.y + r.h};
    return true;
}

bool DisplayCursorPos(POINT& p) {
    if (gVideo != 1) return false;
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    p = {x, y};
    return true;
}

}  // namespace detail

HCURSOR LoadCursor(SystemCursor which) {
    // System cursors live as long as the process, like the system's shared ones.
    static HCURSOR__ cursors[static_cast<int>(SystemCursor::Hidden) + 1];
    HCURSOR c = &cursors[static_cast<int>(which)];
    c->system = which;
    return c;
}

HCURSOR CreateCursor(const uint32_t* argb, int width, int height, int hotX, int hotY) {
    if (!argb || width <= 0 || height <= 0 || width > 256 || height > 256) return nullptr;
    auto* c = new HCURSOR__;
    c->isSystem = false;
    c->picture.width = width;
    c->picture.height = height;
    c->picture.pixels.assign(argb, argb + width * height);
    c->hotX = std::clamp(hotX, 0, width - 1);
    c->hotY = std::clamp(hotY, 0, height - 1);
    return c;
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old = gCurrentCursor;
    gCurrentCursor = cursor;
    if (gVideo == 1) {
        bool hidden = cursor && cursor->isSystem && cursor->system == SystemCursor::Hidden;
        SDL_ShowCursor(hidden ? SDL_DISABLE : SDL_ENABLE);
    }
    if (SDL_Cursor* s = SdlCursor(cursor)) SDL_SetCursor(s);
    return old;
}

bool DestroyCursor(HCURSOR cursor) {
    if (!cursor || cursor->isSystem) return false;
    if (gCurrentCursor == cursor) SetCursor(LoadCursor(SystemCursor::Arrow));
    if (cursor->sdl && cursor->sdlOpening == gOpening && gVideo == 1) SDL_FreeCursor(cursor->sdl);
    delete cursor;
    return true;
}

HICON CreateIcon(const uint32_t* argb, int width, int height) {
    if (!argb || width <= 0 || height <= 0 || width > 1024 || height > 1024) return nullptr;
    auto* icon = new HICON__;
    icon->picture.width = width;
    icon->picture.height = height;
    icon->picture.pixels.assign(argb, argb + width * height);
    return icon;
}

bool DestroyIcon(HICON icon) {
    delete icon;
    return icon != nullptr;
}

int16_t GetKeyState(uint32_t vk) {
    if (gVideo != 1) return 0;
    // The modifiers of the input being handled, not of the keyboard now: a
    // chord typed while the window was busy is still that chord when read.
    int64_t read = detail::ThisQueue().readKeys;
    uint32_t keys = read >= 0 ? static_cast<uint32_t>(read) : KeysOf(SDL_GetModState());
    uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
    bool down = false;
    switch (vk) {
        case VK_SHIFT:
            down = keys & kKeyShift;
            break;
        case VK_CONTROL:
            down = keys & kKeyControl;
            break;
        case VK_MENU:
            down = keys & (kKeyAlt | kKeyAltGr);
            break;
        case VK_LBUTTON:
            down = buttons & SDL_BUTTON_LMASK;
            break;
        case VK_RBUTTON:
            down = buttons & SDL_BUTTON_RMASK;
            break;
        case VK_MBUTTON:
            down = buttons & SDL_BUTTON_MMASK;
            break;
        default: {
            auto sc = static_cast<SDL_Scancode>(ScancodeOf(vk));
            const Uint8* state = SDL_GetKeyboardState(nullptr);
            down = sc != SDL_SCANCODE_UNKNOWN && state[sc];
        }
    }
    return down ? static_cast<int16_t>(0x8000) : 0;
}

void AllowScreenSaver(bool allow) {
    if (gVideo != 1) return;
    if (allow)
        SDL_EnableScreenSaver();
    else
        SDL_DisableScreenSaver();
}

}  // namespace mtxOs
