#pragma once
#include <cstdint>
#include <string>

#include "ui/active_ctrl.h"

// A push button: notifies its target when pressed and released over it, or
// at once on press (kNotifyOnPress), repeatedly while held (kAutoRepeat),
// with every press as a flip (kToggle), or staying down (kStaysPressed).
class mtxIEButton : public mtxIEActiveCtrl {
  public:
    enum Style : uint32_t {
        kPressed = 0x2,
        kHot = 0x4,  // the pointer is over the button while it tracks
        kDefaultStyle = 0x100,
        kStaysPressed = 0x400,
        kNotifyOnPress = 0x1000,
        kAutoRepeat = 0x2000,
        kAutoWidth = 0x4000,
        kToggle = 0x100000,
    };
    static constexpr int kDefaultSize = 24;

    explicit mtxIEButton(mtxIECtrl* parent);
    ~mtxIEButton() override;

    // With kAutoWidth the button grows to the caption's width.
    void SetCaption(const std::string& text);
    bool IsPressed() const { return style & kPressed; }
    void SetPressed(int on) override;
    // What a click does, for the keyboard (Space, Enter): press, notify, release.
    virtual void Click();

    void Draw(int x, int y, const RECT& clip) override;
    int OnLButtonDown(int x, int y, uint32_t keys) override;
    int OnLButtonDblClk(int x, int y, uint32_t keys) override { return OnLButtonDown(x, y, keys); }
    int OnMouseMove(int x, int y, uint32_t keys) override;
    int OnLButtonUp(int x, int y, uint32_t keys) override;
    void OnCaptureLost() override;
    void OnTimer(uintptr_t id) override;
    void OnKeyDown(uint32_t key, uint32_t repeat, uint32_t keyFlags) override;
    // Covers one more pixel to the left and top, where the pressed look reaches.
    void Invalidate() override;

    uint32_t style = kDefaultStyle;
    std::string caption;
    uint32_t color = 0xFF000000;  // the caption's
    uint32_t color2 = 0;
    float cornerSize = 4.0f;
    int icon = -1;  // a tool-bar icon of the profile drawn centred, or -1
    uintptr_t timerId = 0;
    uint32_t repeatInterval = 50, repeatDelay = 400, elapsed = 0;

  protected:
    void SetPressedBit(bool on);
    void StartRepeat();
    void StopRepeat();
    bool tracking_ = false;
};
