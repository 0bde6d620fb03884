#pragma once
#include <cstdint>
#include <string>

#include "platform/window.h"

// A native window with virtual message handlers. The object is reached from
// its window through the window's user data; messages that arrive before
// Create has stored it go to the default window procedure.
//
// Ids: the parameterless constructor takes an id from the application's id
// pool and gives it back (destroying the window) when the object goes; an
// object built with an explicit id does neither.
class mtxWnd {
  public:
    using HWND = mtxOs::HWND;
    using WPARAM = mtxOs::WPARAM;
    using LPARAM = mtxOs::LPARAM;
    using LRESULT = mtxOs::LRESULT;

    mtxWnd();
    explicit mtxWnd(uint32_t id);
    virtual ~mtxWnd();  // slot 0
    mtxWnd(const mtxWnd&) = delete;
    mtxWnd& operator=(const mtxWnd&) = delete;

    // The handler slots, in their fixed order. Each default returns what its
    // comment says; WindowProc routes messages to them.
    virtual LRESULT Reserved1(WPARAM) { return 0; }  // slot 1, not called by the dispatch
    virtual LRESULT WindowProc(uint32_t message, WPARAM wParam, LPARAM lParam);  // slot 2
    virtual LRESULT OnActivate(WPARAM, LPARAM) { return 1; }
    virtual LRESULT Reserved4() { return 0; }  // slot 4, not called by the dispatch
    virtual LRESULT OnCommand(WPARAM, LPARAM) { return 0; }
    virtual LRESULT OnPaint(WPARAM, LPARAM) { return 0; }
    virtual LRESULT OnSizing(WPARAM, LPARAM) { return 0; }
    virtual LRESULT OnSize(WPARAM, LPARAM) { return 0; }
    virtual LRESULT Reserved9() { return 1; }  // slot 9, not called by the dispatch
    virtual LRESULT OnDestroy(WPARAM, LPARAM) { return 0; }
    virtual LRESULT OnClose(WPARAM, LPARAM) { return 1; }
    virtual LRESULT OnTimer(WPARAM, LPARAM) { return 0; }
    virtual LRESULT OnChar(WPARAM, LPARAM) { return 0; }
    virtual LRESULT OnKeyDown(WPARAM, LPARAM) { return 0; }
    virtual LRESULT OnKillFocus(WPARAM, LPARAM) { return 0; }
    virtual LRESULT OnSetCursor(WPARAM, LPARAM) { return 0; }
    virtual LRESULT OnEraseBkgnd(WPARAM, LPARAM) { return 0; }
    virtual LRESULT OnMouse(uint32_t, WPARAM, LPARAM) { return 0; }  // 0x200..0x20A, capture lost
    virtual LRESULT OnPowerBroadcast(WPARAM, LPARAM) { return 1; }
    virtual LRESULT OnSysCommand(WPARAM, LPARAM) { return 0; }
    virtual LRESULT OnDestroyClipboard(WPARAM, LPARAM) { return 0; }

    // Creates the window. Without a class name the class "MtxWndClass" is
    // registered once and used. A child (WS_CHILD) gets the object's id as its
    // identifier. Returns 1 even when the system refuses the window: the
    // handle then stays null and operations on it do nothing.
    int Create(mtxWnd* parent, const char* className, uint32_t style, const std::string& title,
               int x, int y, int width, int height, uint32_t exStyle, mtxOs::HICON icon);

    HWND Handle() const { return hwnd_; }
    uint32_t Id() const { return id_; }
    bool IdFromPool() const { return fromPool_; }

    bool Show(int command) { return mtxOs::ShowWindow(hwnd_, command); }
    // Sets the menu bar from a menu resource of the program; 0 when the
    // resource is missing or malformed.
    int SetMenu(uint32_t resourceId);
    // Centres the window in its parent, or on the desktop without one.
    void Center();
    mtxOs::POINT CursorPos() const;

    // The procedure every window of the default class shares.
    static LRESULT SharedProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam);
    // The class name registered by Create.
    static constexpr const char* kDefaultClass = "MtxWndClass";

  protected:
    HWND hwnd_ = nullptr;

  private:
    uint32_t id_ = 0;
    bool fromPool_ = false;
};
