#pragma once
// Private to the window system: the window records, the per-thread queues and
// the hooks between the message core (window_system.cpp), the display
// (sdl_display.cpp) and the menus (window_menu.cpp).
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/window.h"
#include "platform/window_menu.h"

namespace mtxOs {
struct HDC__;
}

namespace mtxOs::detail {

struct Queue;

// Menu state of a top-level window (window_menu.cpp).
struct MenuState {
    Menu menu;
    bool active = false;           // keyboard or mouse is in the menu
    int barIndex = -1;             // highlighted bar item
    bool open = false;             // the bar item's popup is open
    std::vector<int> selected;     // highlighted item per open popup level
    std::vector<RECT> popupRects;  // screen area of each open popup, in window pixels
    // A popup shown by TrackPopupMenu instead of the bar.
    bool tracking = false;
    Menu tracked;
    POINT trackedAt;
    uint32_t chosen = 0;
    bool done = false;
};

// Files dropped on a window, until its WM_DROPFILES has been handled.
struct DropRecord {
    HWND hwnd = nullptr;
    std::vector<std::string> paths;
    POINT point{0, 0};
    bool hasPoint = false;
};

struct TopLevel {
    void* display = nullptr;  // the display's own window (an SDL window)
    Bitmap canvas;            // what the windows painted, whole window
    Bitmap frame;             // canvas plus menus, as presented
    bool needsPresent = false;
    bool maximized = false;
    MenuState menu;
    int menuBarHeight = 0;
    HICON icon = nullptr;
    // Files of a drop under way (the display announces the files one by one
    // between its begin and its end).
    bool dropping = false;
    std::vector<std::string> dropped;
};

struct Window {
    uintptr_t handle = 0;
    WNDCLASS cls;
    uint32_t style = 0, exStyle = 0;
    std::string title;
    RECT rect;  // in the parent's client coordinates; screen for top-level windows
    Window* parent = nullptr;
    std::vector<Window*> children;
    uint32_t id = 0;
    intptr_t userData = 0;
    bool visible = false;
    bool shownOnce = false;
    bool destroying = false;  // WM_DESTROY is on its way; no second destruction
    bool destroyed = false;
    bool invalid = false;
    bool erase = false;
    RECT invalidRect;
    std::shared_ptr<Queue> queue;
    std::unique_ptr<TopLevel> top;
    // Set once a device draws into this child window (GetDeviceSurface).
    std::shared_ptr<void> deviceSurface;

    HWND Handle() const { return reinterpret_cast<HWND>(handle); }
    bool IsChild() const { return parent != nullptr; }
};

struct SentMessage {
    MSG msg;
    LRESULT result = 0;
    bool done = false;
    std::mutex lock;
    std::condition_variable cv;
};

struct Timer {
    HWND hwnd;
    uintptr_t id;
    uint32_t period;
    uint64_t due;  // ms of the monotonic clock
};

// Modifier bits of MSG::keys.
constexpr uint32_t kKeyShift = 1, kKeyControl = 2, kKeyAlt = 4, kKeyAltGr = 8;

struct Queue {
    // Shared with other threads, under lock.
    std::mutex lock;
    std::condition_variable cv;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool alive = true;
    bool display = false;  // this thread pumps the display; wake it through the display
    uint64_t threadId = 0;

    // Owner thread only.
    std::deque<MSG> input;
    std::vector<Timer> timers;
    bool quit = false;
    int quitCode = 0;
    HWND focus = nullptr, capture = nullptr, active = nullptr;
    bool altAlone = false;    // Alt went down and nothing else since
    bool menuAteKey = false;  // the menu took the last key: its text is not typed
    // Modifiers (kKey*) as of the last display event pumped, stamped on the
    // input it queues, and as of the last input read: GetKeyState answers
    // from the latter, as keys read late must keep the chord they were typed in.
    uint32_t pumpedKeys = 0;
    int64_t readKeys = -1;  // none read yet: the display's live state
    // The clipboard of the windows of this thread.
    HWND clipboardOpener = nullptr, clipboardOwner = nullptr;
    bool clipboardEmptied = false;  // EmptyClipboard since opening
    std::map<uint32_t, std::vector<uint8_t>> clipboard;
    std::map<std::string, uint32_t> clipboardFormats;
    // Drops not yet finished, by handle; handles are never reused.
    std::map<uintptr_t, DropRecord> drops;
    uintptr_t nextDrop = 1;
};

// The calling thread's queue, created on first use.
Queue& ThisQueue();
// The live window of a handle, or null. Owner-thread use only.
Window* Find(HWND hwnd);
// Every live top-level window of the calling thread.
std::vector<Window*> TopLevelsOfThisThread();
// Window rectangle in its top-level window's pixels (below the menu bar).
RECT RectInTop(const Window* w);
// The deepest visible window under a point given in top-level client pixels.
Window* HitTest(Window* top, int x, int y, POINT& local);
// Adds an input message to the calling thread's queue, stamped with the
// modifiers of the display event that made it.
void QueueInput(const MSG& msg);
// The message read next, before any other input (a key's translation); it
// keeps the modifiers it carries.
void QueueInputNext(const MSG& msg);
void InvalidateAll(Window* w);
uint64_t NowMs();

// Display hooks (sdl_display.cpp). All return false / do nothing without a display.
bool DisplayAvailable();
void DisplayClose();
bool DisplayCreate(Window& w);
void DisplayDestroy(Window& w);
void DisplayShow(Window& w, int command);
void DisplayMove(Window& w);
void DisplaySetTitle(Window& w);
void DisplaySetIcon(Window& w);
void DisplayPresent(Window& w);
// Presents what is pending and due; the ms until a pending present is due,
// or kNoPresentPending.
constexpr uint32_t kNoPresentPending = 0xFFFFFFFF;
uint32_t DisplayFlush(Window& top);
// The surface a device draws into for a child window, made on first use;
// null without a display with OpenGL.
void* DisplayDeviceSurface(Window& child);
// Translates pending display events into messages; waits at most timeoutMs
// for the first one (0: do not wait).
void DisplayPump(uint32_t timeoutMs);
// Keeps the pointer's events coming while a window holds the capture.
void DisplayCaptureMouse(bool on);
// The desktop's clipboard text; false without a display.
bool DisplaySetClipboardText(const std::string& utf8);
bool DisplayGetClipboardText(std::string& utf8);
void DisplayWake();
bool DisplayDesktop(RECT& out);
bool DisplayCursorPos(POINT& p);

// Drops (drop_files.cpp): frees the drop of a dispatched WM_DROPFILES, and
// every drop of windows being destroyed.
void FreeDrop(WPARAM handle);
void FreeDropsOf(const std::vector<HWND>& windows);

// Fills a window's client area with its class background (gdi.cpp).
void EraseWithClassBackground(HWND hwnd, HDC__* dc);

// Menu hooks (window_menu.cpp).
void MenuCompose(Window& top);  // frame = canvas + menu bar + popups
// Keyboard and mouse while the menu has them; true when consumed.
bool MenuKey(Window& top, uint32_t vk);
bool MenuMouse(Window& top, uint32_t message, int x, int y);  // window pixels
bool MenuActive(const Window& top);
void MenuEnter(Window& top, char32_t mnemonic);  // SC_KEYMENU
void MenuLeave(Window& top);

}  // namespace mtxOs::detail
