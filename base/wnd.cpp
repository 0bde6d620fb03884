#include "base/wnd.h"

#include <utility>

#include "base/application.h"
#include "base/menu_template.h"
#include "platform/resource_table.h"
#include "platform/window_menu.h"

using namespace mtxOs;

mtxWnd::mtxWnd() : fromPool_(true) {
    if (mtxApplication* app = mtxGetApp()) id_ = app->ids.Take();
}

mtxWnd::mtxWnd(uint32_t id) : id_(id), fromPool_(false) {}

mtxWnd::~mtxWnd() {
    if (!fromPool_) {
        // The window outlives its object (its owner destroys it), so it must
        // no longer lead here: its messages go to the default handling.
        if (hwnd_ && IsWindow(hwnd_) && GetUserData(hwnd_) == reinterpret_cast<intptr_t>(this))
            SetUserData(hwnd_, 0);
        return;
    }
    if (hwnd_) {
        HWND hwnd = std::exchange(hwnd_, nullptr);
        DestroyWindow(hwnd);
    }
    if (mtxApplication* app = mtxGetApp()) app->ids.Give(static_cast<uint16_t>(id_));
}

LRESULT mtxWnd::SharedProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<mtxWnd*>(GetUserData(hwnd));
    if (!self) return DefWindowProc(hwnd, message, wParam, lParam);
    return self->WindowProc(message, wParam, lParam);
}

LRESULT mtxWnd::WindowProc(uint32_t message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = hwnd_;
    switch (message) {
        case WM_DESTROY:
            OnDestroy(wParam, lParam);
            return 0;
        case WM_SIZE:
            return OnSize(wParam, lParam);
        case WM_SIZING:
            return OnSizing(wParam, lParam);
        case WM_ACTIVATE:
            if (OnActivate(wParam, lParam) == 0) return 0;
            break;
        case WM_KILLFOCUS:
            OnKillFocus(wParam, lParam);
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(wParam, lParam);
            return 0;
        case WM_CHAR:
            OnChar(wParam, lParam);
            return 0;
        case WM_TIMER:
            OnTimer(wParam, lParam);
            return 0;
        case WM_PAINT:
            OnPaint(wParam, lParam);
            break;
        case WM_CLOSE:
            OnClose(wParam, lParam);
            break;
        case WM_ERASEBKGND: {
            LRESULT r = OnEraseBkgnd(wParam, lParam);
            if (r & 0x10000) return r & 0xFFFF;
            break;
        }
        case WM_SETCURSOR:
            if (OnSetCursor(wParam, lParam)) return 1;
            break;
        case WM_NOTIFY:
            return 0;
        case WM_COMMAND:
            OnCommand(wParam, lParam);
            break;
        case WM_SYSCOMMAND:
            if (OnSysCommand(wParam, lParam)) return 0;
            break;
        case WM_POWERBROADCAST: {
            LRESULT r = OnPowerBroadcast(wParam, lParam);
            if (r == BROADCAST_QUERY_DENY) return r;
            break;
        }
        case WM_DESTROYCLIPBOARD:
            if (OnDestroyClipboard(wParam, lParam)) return 0;
            break;
        default:
            if ((message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL) ||
                message == WM_CAPTURECHANGED)
                return OnMouse(message, wParam, lParam);
            break;
    }
    return DefWindowProc(hwnd, message, wParam, lParam);
}

int mtxWnd::Create(mtxWnd* parent, const char* className, uint32_t style, const std::string& title,
                   int x, int y, int width, int height, uint32_t exStyle, HICON icon) {
    std::string cls = className ? className : kDefaultClass;
    WNDCLASS existing;
    if (!className && !GetClassInfo(cls, existing)) {
        WNDCLASS wc;
        wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
        wc.proc = &mtxWnd::SharedProc;
        wc.icon = icon;
        wc.cursor = LoadCursor(SystemCursor::Arrow);
        wc.background = 5;
        wc.name = cls;
        RegisterClass(wc);
    }
    HWND parentHandle = parent ? parent->hwnd_ : nullptr;
    hwnd_ = CreateWindowEx(exStyle, cls, title, style, x, y, width, height, parentHandle,
                           (style & WS_CHILD) ? id_ : 0);
    if (!hwnd_) return 1;
    SetUserData(hwnd_, reinterpret_cast<intptr_t>(this));
    // The class keeps the icon of its first window; later windows still show theirs.
    if (icon && !(style & WS_CHILD)) SetWindowIcon(hwnd_, icon);
    return 1;
}

int mtxWnd::SetMenu(uint32_t resourceId) {
    auto bytes = mtxFindResource("MENU", resourceId);
    if (bytes.empty()) return 0;
    Menu menu;
    std::string error;
    if (!mtxParseMenuTemplate(
            std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), menu, error))
        return 0;
    return mtxOs::SetMenu(hwnd_, menu) ? 1 : 0;
}

void mtxWnd::Center() {
    RECT r;
    if (!GetWindowRect(hwnd_, r)) return;
    int w = r.right - r.left, h = r.bottom - r.top;
    RECT area;
    HWND parent = GetParent(hwnd_);
    if (parent)
        GetClientRect(parent, area);
    else
        area = GetDesktopRect();
    int x = area.left + (area.right - area.left - w) / 2;
    int y = area.top + (area.bottom - area.top - h) / 2;
    MoveWindow(hwnd_, x, y, w, h, true);
}

POINT mtxWnd::CursorPos() const {
    POINT p;
    GetCursorPos(p);
    ScreenToClient(hwnd_, p);
    return p;
}
