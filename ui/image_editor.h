#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "render/image_editor_device.h"
#include "ui/action_processor.h"
#include "ui/canvas.h"
#include "ui/ctrl.h"
#include "ui/font.h"
#include "ui/profile.h"

class mtxIECursorEx;

// The editor window as host of the control toolkit: it turns window messages
// into calls on controls (capture first, then the focus control, the listed
// pop-ups, the top modal dialog, the canvas), keeps the dirty rectangle and
// draws a frame that clears, draws and presents only that rectangle.
//
// Controls are deleted only when no message is being handled (DeferDelete);
// actions posted to a processor reach it only while it exists.
class mtxImageEditor : public mtxImageEditorDevice, public mtxIEActionProcessor {
  public:
    mtxImageEditor();
    ~mtxImageEditor() override;

    // The editor as a child window of parent, with its device and content.
    // 0 when the window or the device cannot be made.
    int Create(mtxWnd* parent, int x, int y, int width, int height);
    // Releases every device object before the device goes with the window.
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam) override;
    // The headless editor of tests and batch work: a message-target window of
    // width x height with a device. 0 when the device cannot be made.
    int CreateHeadless(int width, int height);

    // Message slots.
    LRESULT WindowProc(uint32_t message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnSize(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnChar(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnKillFocus(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnMouse(uint32_t message, WPARAM wParam, LPARAM lParam) override;
    // Routes one mouse event at (x, y) in client coordinates.
    virtual int RouteMouse(mtxIECtrl::Mouse event, int x, int y, uint32_t keys);
    // Routes a turn of the wheel at a screen point (as WM_MOUSEWHEEL's
    // lParam) like the other mouse events; 1 when a control used it.
    int RouteWheel(int delta, uint32_t keys, LPARAM screenPoint);
    virtual void OnCaptureChanged();
    // The frame; at most one more runs at once when a control invalidated
    // while drawing.
    void Paint() override;
    // What every editor does once its device exists: the control font, the
    // canvas over the client area, the content.
    void SetUp(int width, int height);
    // Builds the window's content; the concrete editor overrides it.
    virtual void CreateContent() {}
    virtual mtxIEProfile* GetProfile() { return &defaultProfile; }
    int Process(uint32_t, uint16_t) override { return 0; }

    // The control that receives input at (x, y) (client coordinates).
    mtxIECtrl* InputTarget(int x, int y);
    // The one rule of modality: with a dialog open, only it and what lies in
    // it take input.
    bool AcceptsInput(const mtxIECtrl* control) const;

    void SetCapture(mtxIECtrl* control);
    // Releases the capture when control holds it, or whoever holds it for null.
    void ReleaseCapture(mtxIECtrl* control);
    void SetFocusControl(mtxIECtrl* control);
    void SetHover(mtxIECtrl* control) { hover = control; }
    // Lets go of control and everything below it: focus, capture (with the
    // capture-lost notice to a survivor), hover, and any list that holds it.
    // Called on hide and destruction.
    void ForgetControl(mtxIECtrl* control, bool dying);

    // Top-level controls (pop-ups) drawn over the canvas and the dialogs in
    // order of adding.
    void AddControl(mtxIECtrl* control);
    void RemoveControl(mtxIECtrl* control);
    // The modal stack; pushing releases the capture.
    void PushModal(mtxIECtrl* control);
    // Takes that dialog off the stack wherever it lies and hides it; with
    // destroy, it is deleted once the current message has returned.
    void CloseModal(mtxIECtrl* control, bool destroy);
    mtxIECtrl* TopModal() const { return modal.empty() ? nullptr : modal.back(); }
    // Deletes the control once no message is being handled.
    void DeferDelete(mtxIECtrl* control);
    void DeleteDeferred();

    // Actions: WM_COMMAND to the window with the action in the low word and
    // the value in the high word. Sending delivers before returning; a posted
    // action is dropped when its processor is gone by delivery.
    void PostCommand(mtxIEActionProcessor* target, uint32_t action, uint16_t value);
    LRESULT SendCommand(mtxIEActionProcessor* target, uint32_t action, uint16_t value);
    // Who receives the item chosen in a pop-up menu (WM_COMMAND without a source).
    void SetMenuTarget(mtxIEActionProcessor* target) {
        menuTarget = target;
        menuTargetLife = target ? target->LifeToken() : std::weak_ptr<const void>();
    }

    // The editor's one background task, which it owns. Registering another
    // destroys the current one first (its thread is stopped and joined);
    // DestroyTask destroys task when it is the current one; ForgetTask lets
    // go of it without destroying it (for the task's own destructor).
    void RegisterTask(mtxIEActionProcessor* task);
    void DestroyTask(mtxIEActionProcessor* task);
    void ForgetTask(mtxIEActionProcessor* task);
    mtxIEActionProcessor* CurrentTask() const { return task_; }

    // Moves r left and up until it ends inside the client area, then right
    // and down until it starts inside it (its top-left corner wins).
    RECT FitRect(const RECT& r) const;
    // A rectangle of that size centred in the client area, fitted.
    RECT CenterRect(int width, int height) const;

    // Clipboard. BeginClipboardWrite opens the clipboard for the window,
    // empties it and returns a block of size bytes for the format (null, with
    // the clipboard closed, on failure); EndClipboardWrite hands the block to
    // the clipboard and closes it. BeginClipboardRead returns the data of the
    // format and its size (null, closed, when there is none); EndClipboardRead
    // closes.
    uint8_t* BeginClipboardWrite(uint32_t format, size_t size);
    int EndClipboardWrite();
    const uint8_t* BeginClipboardRead(uint32_t format, size_t* size);
    void EndClipboardRead();
    // Another owner emptied the clipboard: a block of the program's own format
    // not handed over yet goes.
    LRESULT OnDestroyClipboard(WPARAM wParam, LPARAM lParam) override;

    // Grows the dirty rectangle (editor coordinates) and notes r among its
    // parts.
    void AddDirty(const RECT& r);
    // Sets the device's scissor rectangle (editor coordinates).
    void SetClip(const RECT& r);
    void SetCursorEx(mtxIECursorEx* picture);

    std::unique_ptr<mtxIECanvas> canvas;  // reset before the rest goes
    mtxIEProfile defaultProfile;
    std::unique_ptr<mtxIEFont> controlFont;  // null when the system has no font
    RECT clientRect = {};
    RECT dirtyRect = {};
    // The separate rectangles dirtyRect was grown from, while they are few:
    // a frame draws only them when they cover much less than dirtyRect (many
    // small changes far apart, such as a batch of stamps). Empty when they
    // were too many; the frame then draws the whole of dirtyRect.
    std::vector<RECT> dirtyParts;
    static constexpr size_t kMaxDirtyParts = 128;
    mtxIECtrl* capture = nullptr;
    mtxIECtrl* focus = nullptr;
    mtxIECtrl* hover = nullptr;
    std::vector<mtxIECtrl*> controls;  // not owned
    std::vector<mtxIECtrl*> modal;     // owned by whoever opened them
    mtxIECursorEx* cursor = nullptr;
    mtxIEActionProcessor* menuTarget = nullptr;
    std::weak_ptr<const void> menuTargetLife;
    uint32_t frameTime = 0;
    uint32_t clipboardFormat = 0;
    std::vector<uint8_t> clipboardData;  // being written, or read
    uint64_t frameCount = 0;             // frames drawn, for statistics and tests
    uint32_t frameMs = 0;                // what the last frame took to draw and show

  protected:
    void ReleaseDeviceResources() override;
    void RestoreDeviceResources() override;

  private:
    // One frame: 1 when it drew or had nothing to draw, 0 when the device
    // cannot draw now.
    int Frame();
    // What a frame draws of r, the dirty rectangle clipped to the target:
    // the dirty parts inside it, or r itself when they save little.
    std::vector<RECT> FrameParts(const RECT& r) const;
    // Clears r and draws every root into it.
    void DrawPart(const RECT& r);
    void DrawRoot(mtxIECtrl* control, const RECT& r);
    void DrawFocus(const RECT& r);
    void PaintIfDirty() {
        if (!mtxIsEmpty(dirtyRect)) Paint();
    }
    // Every root: canvas, listed controls, modal controls.
    std::vector<mtxIECtrl*> Roots() const;
    bool IsRoot(const mtxIECtrl* control) const;

    struct PostedAction {
        mtxIEActionProcessor* target;
        std::weak_ptr<const void> life;
    };
    std::mutex postedLock_;
    std::map<intptr_t, PostedAction> posted_;
    intptr_t nextTicket_ = 1;
    mtxIEActionProcessor* task_ = nullptr;  // owned
    std::vector<mtxIECtrl*> deferred_;
    int dispatchDepth_ = 0;
    int painting_ = 0;
    uint64_t modalChanges_ = 0, modalChangesAtPress_ = 0;
    int swallowButtonUp_ = 0;
};
