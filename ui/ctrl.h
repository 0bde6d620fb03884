#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/geometry.h"

class mtxImageEditor;
class mtxIEProfile;

// A control of the editor's own toolkit: a rectangle in its parent with owned
// children, drawn by the program into the editor's back buffer. The editor
// routes input to it and asks it to draw only inside the dirty rectangle.
//
// Coordinates: rect is in the parent's coordinates (a root's in the editor's);
// "local" points are relative to the control's own top-left corner.
class mtxIECtrl {
  public:
    enum Flag : uint32_t { kVisible = 1, kFocus = 2 };
    enum Dock : uint32_t { kDockNone = 0, kDockLeft, kDockTop, kDockRight, kDockBottom, kDockFill };
    enum Align : uint32_t { kAlignLeft = 0, kAlignRight, kAlignCenter };
    enum Edge { kEdgeLeft = 0, kEdgeTop, kEdgeRight, kEdgeBottom };
    // The mouse events the editor routes, in the order of the handlers.
    enum Mouse {
        kMouseMove = 0,
        kLButtonDown,
        kLButtonUp,
        kLButtonDblClk,
        kRButtonDown,
        kRButtonUp,
        kRButtonDblClk
    };
    struct Anchor {
        uint32_t on = 0;
        int32_t value = 0;
    };

    // A child: editor and profile come from the parent, which adds it.
    explicit mtxIECtrl(mtxIECtrl* parent);
    // A root (the canvas, a dialog, a pop-up): placed in editor coordinates.
    explicit mtxIECtrl(mtxImageEditor* editor);
    // Releases what the editor holds of the control and its subtree (focus,
    // capture, hover), then destroys the children in list order.
    virtual ~mtxIECtrl();
    mtxIECtrl(const mtxIECtrl&) = delete;
    mtxIECtrl& operator=(const mtxIECtrl&) = delete;

    // Half-open: the right and bottom edges are outside.
    virtual int HitTest(int x, int y);
    virtual void LayoutChildren();
    // Places the control in its parent: dock, anchors, then size limits.
    virtual void Layout();
    virtual void OnResized() {}
    // Draws with the control's top-left at (x, y) in editor coordinates; clip
    // (editor coordinates) is already the device's scissor rectangle. The
    // default draws the children.
    virtual void Draw(int x, int y, const RECT& clip);
    virtual RECT GetClientRect();
    virtual void SetRect(const RECT& r);
    virtual void SetClientSize(int, int) {}
    virtual void AddChild(mtxIECtrl* child);

    // Mouse handlers take the point in the parent's coordinates. The defaults
    // pass the event to the first visible child under the point, or consume
    // it here; a press on no child gives this control the focus.
    virtual int OnMouseMove(int x, int y, uint32_t keys) { return Route(kMouseMove, x, y, keys); }
    virtual int OnLButtonDown(int x, int y, uint32_t keys) {
        return Route(kLButtonDown, x, y, keys);
    }
    virtual int OnLButtonUp(int x, int y, uint32_t keys) { return Route(kLButtonUp, x, y, keys); }
    virtual int OnLButtonDblClk(int x, int y, uint32_t keys) {
        return Route(kLButtonDblClk, x, y, keys);
    }
    virtual int OnRButtonDown(int x, int y, uint32_t keys) {
        return Route(kRButtonDown, x, y, keys);
    }
    virtual int OnRButtonUp(int x, int y, uint32_t keys) { return Route(kRButtonUp, x, y, keys); }
    virtual int OnRButtonDblClk(int x, int y, uint32_t keys) {
        return Route(kRButtonDblClk, x, y, keys);
    }
    // A turn of the wheel: delta in WHEEL_DELTA steps a notch, positive away
    // from the user; keys hold the buttons and Shift and Ctrl. The default
    // passes it to the first visible child under the point; 0 when no
    // control used it, so an override can act when its children did not.
    virtual int OnMouseWheel(int x, int y, int delta, uint32_t keys);
    // Clears the editor's picture cursor, then asks the child under the point.
    virtual int OnSetCursor(int x, int y);
    virtual void OnCaptureLost() {}
    // Clears the focus bit, gives up the capture if held, redraws.
    virtual void OnKillFocus();
    // Told when a control below this one lost the focus.
    virtual int OnDescendantFocusLost() { return 0; }
    virtual void OnTimer(uintptr_t id);
    virtual void OnChar(uint32_t, uint32_t) {}
    // A key the control does not use goes up to its parent, so a dialog sees
    // Tab, Enter and Escape whatever control inside it has the focus.
    virtual void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) {
        if (parent) parent->OnKeyDown(key, repeat, keyFlags);
    }
    // Device resources: released on loss, made again after the reset.
    virtual void OnDeviceLost();
    virtual void OnDeviceReset();
    virtual void InvalidateRect(const RECT& local);
    virtual void Invalidate();

    // One line of text in the control font over the control's rectangle with
    // its top-left at (x, y), aligned by textAlign. 0 when nothing was drawn.
    int DrawText(int x, int y, const std::string& text, uint32_t color);

    // Calls the handler of that mouse event.
    int Dispatch(Mouse event, int x, int y, uint32_t keys);

    // Returns the previous visibility. Hiding releases focus, capture and
    // hover held by the control or any control below it.
    int Show(int on);
    bool IsVisible() const { return flags & kVisible; }
    // Visible together with every ancestor.
    bool IsShown() const;
    bool HasFocus() const { return flags & kFocus; }
    // Nothing for a root: it has no parent to be docked in.
    void SetDock(uint32_t mode);
    void SetAnchor(Edge edge, int32_t value);
    void ClearAnchor(Edge edge) { anchors[edge].on = 0; }
    void SetMinSize(int width, int height) { minWidth = width, minHeight = height; }
    void SetMaxSize(int width, int height) { maxWidth = width, maxHeight = height; }
    void MoveTo(int x, int y);
    void SetFocus();
    // Removes the child from the list and destroys it; nothing for a control
    // that is not a child of this one.
    void RemoveChild(mtxIECtrl* child);

    int Width() const { return rect.right - rect.left; }
    int Height() const { return rect.bottom - rect.top; }
    // This control or one below it.
    bool Contains(const mtxIECtrl* other) const;
    POINT LocalToEditor(POINT p) const;
    POINT EditorToLocal(POINT p) const;
    RECT LocalToEditor(const RECT& r) const;
    RECT EditorToLocal(const RECT& r) const;
    // The control's own rectangle in editor coordinates.
    RECT EditorRect() const { return LocalToEditor(RECT{0, 0, Width(), Height()}); }

    mtxImageEditor* editor = nullptr;
    mtxIEProfile* profile = nullptr;
    mtxIECtrl* parent = nullptr;
    RECT rect = {0, 0, 64, 64};
    uint32_t flags = 0;
    std::vector<mtxIECtrl*> children;  // owned
    uint32_t dock = kDockNone;
    uint32_t textAlign = kAlignLeft;
    Anchor anchors[4];
    int32_t maxWidth = 0, maxHeight = 0, minWidth = 0, minHeight = 0;

  protected:
    // The default of the mouse handlers.
    int Route(Mouse event, int x, int y, uint32_t keys);
    // Draws every visible child but the focus control, each clipped to its
    // rectangle within clip.
    void DrawChildren(int x, int y, const RECT& clip);
};

// Rectangle helpers shared by the toolkit.
inline bool mtxIsEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}
RECT mtxIntersect(const RECT& a, const RECT& b);
// The smallest rectangle holding both; an empty one adds nothing.
RECT mtxUnion(const RECT& a, const RECT& b);
RECT mtxOffset(const RECT& r, int dx, int dy);
