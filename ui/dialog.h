#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/device.h"
#include "ui/active_ctrl.h"

class mtxIEButton;

// A dialog of the editor: a root control with borders and an optional title
// bar by which it can be dragged, kept inside the editor's client area. A
// modal dialog lies on the editor's dialog stack and takes all input while it
// is on top; closing takes it off and deletes it once the current message has
// been handled.
//
// Keyboard: Tab and Shift+Tab move the focus through the controls in creation
// order, Enter presses the default button, Escape the cancel button.
class mtxIEDialog : public mtxIEActiveCtrl {
  public:
    enum DialogFlag : uint32_t { kTitleBar = 1 };
    static constexpr int kTitleBarHeight = 25;
    static constexpr int kBorder = 5;
    static constexpr int kDefaultWidth = 300, kDefaultHeight = 200;

    // A modal dialog is pushed on the editor's stack, takes the focus and is
    // shown; every dialog starts centred in the editor.
    mtxIEDialog(mtxImageEditor* editor, int modal);
    ~mtxIEDialog() override;

    void SetTitle(const std::string& text);
    void SetTitleBar(int on);
    int TitleBarHeight() const { return (dialogFlags & kTitleBar) ? kTitleBarHeight : 1; }
    // Moves the dialog so that its centre is the centre of the editor's client area.
    void Center();
    // Takes this dialog (and no other) off the stack and deletes it later.
    // 1 the first time; 0 when it was closed already, so an action that
    // arrives twice cannot close what lies below.
    int Close();
    bool IsClosed() const { return closed_; }

    // (5, title-bar height, width - 5, height - 5).
    RECT GetClientRect() override;
    // Width w + 10, height h + the title bar's height.
    void SetClientSize(int w, int h) override;
    void Draw(int x, int y, const RECT& clip) override;
    int OnLButtonDown(int x, int y, uint32_t keys) override;
    int OnMouseMove(int x, int y, uint32_t keys) override;
    int OnLButtonUp(int x, int y, uint32_t keys) override;
    void OnCaptureLost() override { dragging_ = 0, closePressed_ = closeHot_ = false; }
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) override;
    virtual void CreateButtons() {}

    // The close box at the right of the title bar, in the dialog's own
    // coordinates: shown while the dialog has a cancel button, and pressing
    // it presses that button. Empty when there is none.
    RECT CloseBox() const;

    // The controls Tab visits, in creation order.
    std::vector<mtxIEActiveCtrl*> TabStops();
    // Moves the focus to the next (or previous) tab stop; 0 when there is none.
    int FocusNext(bool backwards);

    uint32_t dialogFlags = 0;
    std::string title;
    mtxIEButton* defaultButton = nullptr;  // pressed by Enter
    mtxIEButton* cancelButton = nullptr;   // pressed by Escape

  private:
    void Drag(int x, int y);
    void DrawFrame(IDirect3DDevice9* device, const RECT& r);
    void DrawCloseBox(int x, int y);
    bool InCloseBox(int x, int y) const;
    int dragging_ = 0;
    bool closePressed_ = false, closeHot_ = false;
    POINT pressPoint_ = {0, 0};
    RECT pressRect_ = {};
    bool closed_ = false;
};
