#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/window_messages.h"

// The window system: native top-level windows and the child windows inside
// them, message queues, the message loop, timers, capture, focus and cursors,
// with the meaning the rest of the program expects of them:
//
//  - Every thread has its own queue. A window belongs to the thread that
//    created it; messages posted to it from any thread are handled on that
//    thread, in posting order. Sending from another thread waits for the result.
//  - GetMessage returns, in this order: messages sent from other threads (handled
//    inside the call), posted messages, input, WM_TIMER for a due timer, WM_PAINT
//    for a window with an invalid area, and WM_QUIT once PostQuitMessage was
//    called and nothing posted is left.
//  - Top-level windows are real windows on the screen when a display is
//    available; child windows are rectangles of their top-level window with
//    their own messages. Without a display (SetHeadless, or no display to
//    open) windows exist only as message targets.
//
// Handles are opaque numbers: a handle of a destroyed window never refers to
// another window, and every call given a dead or null handle fails harmlessly.
namespace mtxOs {

typedef struct HWND__* HWND;
typedef struct HCURSOR__* HCURSOR;
typedef struct HICON__* HICON;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using WNDPROC = LRESULT (*)(HWND, uint32_t, WPARAM, LPARAM);

using ::POINT;
using ::RECT;
struct MSG {
    HWND hwnd = nullptr;
    uint32_t message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    uint32_t time = 0;
    POINT pt;
    // Input only: the modifiers down when it was typed or clicked, which
    // GetKeyState reports while it is handled (set by the window system).
    uint32_t keys = 0;
};

// A window class: what windows created with its name share.
struct WNDCLASS {
    uint32_t style = 0;  // CS_*
    WNDPROC proc = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    uint32_t background = 0;  // system colour index + 1, 0 for none
    std::string name;
};

// Registers a class; false when the name is taken or the description is unusable.
bool RegisterClass(const WNDCLASS& wc);
bool GetClassInfo(const std::string& name, WNDCLASS& out);

// Creates a window of a registered class on the calling thread; null on
// failure. For a child (WS_CHILD) id is its identifier; position and size are
// in the parent's client coordinates (screen coordinates for top-level
// windows). WM_CREATE is not sent: the caller stores what it needs right after.
HWND CreateWindowEx(uint32_t exStyle, const std::string& className, const std::string& title,
                    uint32_t style, int x, int y, int width, int height, HWND parent, uint32_t id);
// Sends WM_DESTROY to the window and its children (children first) and frees
// them. False for a dead handle.
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);
HWND GetParent(HWND hwnd);
HWND GetTopLevel(HWND hwnd);

// The window's own pointer-sized slot (GWLP_USERDATA); 0 for a dead handle.
intptr_t GetUserData(HWND hwnd);
intptr_t SetUserData(HWND hwnd, intptr_t value);

bool ShowWindow(HWND hwnd, int command);
bool IsWindowVisible(HWND hwnd);
bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint);
bool SetWindowText(HWND hwnd, const std::string& text);
std::string GetWindowText(HWND hwnd);
bool SetWindowIcon(HWND hwnd, HICON icon);
// The client area is (0, 0) to the client size; for a top-level window with a
// menu bar it lies below the bar.
bool GetClientRect(HWND hwnd, RECT& out);
// The window's rectangle in screen coordinates.
bool GetWindowRect(HWND hwnd, RECT& out);
bool ClientToScreen(HWND hwnd, POINT& p);
bool ScreenToClient(HWND hwnd, POINT& p);
// Size of the desktop (the primary display), or 1024 x 768 without a display.
RECT GetDesktopRect();

// Painting. InvalidateRect with null marks the whole client area.
bool InvalidateRect(HWND hwnd, const RECT* rect, bool erase);
bool ValidateRect(HWND hwnd, const RECT* rect);
bool UpdateWindow(HWND hwnd);

// Messages.
LRESULT SendMessage(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam);
bool PostMessage(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam);
// Posts a message with no window to a thread's queue (ThreadId()); false when
// that thread has no queue.
bool PostThreadMessage(uint64_t threadId, uint32_t message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Blocks until a message arrives; 0 for WM_QUIT (msg.wParam holds the exit
// code), 1 otherwise.
int GetMessage(MSG& msg);
// Like GetMessage without waiting; false when nothing is there. With remove
// false the message stays in the queue.
bool PeekMessage(MSG& msg, bool remove);
// Waits until something may be in the queue, at most timeoutMs.
void WaitMessage(uint32_t timeoutMs);
// Adds the character messages that a key-down message produces.
bool TranslateMessage(const MSG& msg);
LRESULT DispatchMessage(const MSG& msg);
LRESULT DefWindowProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam);
// How many messages the calling thread has passed to DefWindowProc; lets
// tests see whether default processing happened.
uint64_t DefWindowProcCount();
// Calls a window's procedure directly.
LRESULT CallWindowProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam);
// An id for the calling thread, as PostThreadMessage wants it.
uint64_t ThreadId();

// Timers: WM_TIMER with wParam id to hwnd every period ms. Setting an existing
// (hwnd, id) restarts it. Returns id, 0 on failure.
uintptr_t SetTimer(HWND hwnd, uintptr_t id, uint32_t periodMs);
bool KillTimer(HWND hwnd, uintptr_t id);

// Mouse capture and keyboard focus (per thread, like the system's). While a
// window of a display holds the capture, the pointer's moves and releases
// reach it outside the window too.
HWND SetCapture(HWND hwnd);
bool ReleaseCapture();
HWND GetCapture();
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND GetActiveWindow();
bool GetCursorPos(POINT& p);  // screen coordinates

// Cursors.
// Hidden shows no pointer at all: the program draws its own in its place.
enum class SystemCursor { Arrow, IBeam, Wait, Cross, Hand, SizeAll, SizeWE, SizeNS, No, Hidden };
HCURSOR LoadCursor(SystemCursor which);
// A cursor from a picture of width x height pixels, 0xAARRGGBB top row
// first; null on failure.
HCURSOR CreateCursor(const uint32_t* argb, int width, int height, int hotX, int hotY);
HCURSOR SetCursor(HCURSOR cursor);
bool DestroyCursor(HCURSOR cursor);

// Icons: a picture as for CreateCursor.
HICON CreateIcon(const uint32_t* argb, int width, int height);
bool DestroyIcon(HICON icon);

// Key state of a virtual key as GetKeyState reports it: bit 15 set while down.
int16_t GetKeyState(uint32_t vk);

// The surface a graphics device draws into for a child window: the device's
// back buffer is shown over the child's area of its top-level window, under
// the window's popup menus. Null without a display or when the top-level
// window has no OpenGL (then a device can only draw off screen).
void* GetDeviceSurface(HWND child);

// Windows exist only as message targets, even with a display. Call before the
// first window is created; tests use it.
void SetHeadless(bool headless);
bool IsHeadless();

// Closes the connection to the display once no window is left, so that the
// graphics driver's threads end while the program still runs rather than as
// it exits. Does nothing while a window exists; a later window opens it anew.
void CloseDisplay();

// Lets the screensaver and display power-down start or prevents them.
void AllowScreenSaver(bool allow);

}  // namespace mtxOs
