#pragma once
// A headless editor window (a message target with an EGL device), messages
// sent to it as the window system would, a spy control and back-buffer reads.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"
#include "ui/image_editor.h"

namespace ui_test {

// An editor of width x height; fails the test (never skips) without a device.
class Editor : public mtxImageEditor {
  public:
    Editor(int width = 320, int height = 200);
};

// Sends a mouse message at (x, y) in client coordinates.
void Mouse(mtxImageEditor& editor, uint32_t message, int x, int y, uint32_t keys = 0);
void Click(mtxImageEditor& editor, int x, int y);
// Turns the wheel by delta at (x, y) in client coordinates, sent as the
// window system does: the point on the screen. What the editor returned.
intptr_t Wheel(mtxImageEditor& editor, int x, int y, int delta, uint32_t keys = 0);

// The back buffer as 32-bit words, row 0 first, width columns.
struct Pixels {
    std::vector<uint32_t> words;
    int width = 0, height = 0;
    uint32_t At(int x, int y) const { return words[size_t(y) * width + x]; }
};
Pixels ReadBack(mtxImageEditor& editor);

// Records what reaches it and fills its rectangle with its colour.
class Spy : public mtxIECtrl {
  public:
    Spy(mtxIECtrl* parent, RECT r, uint32_t color = 0xFF0000FF,
        std::vector<std::string>* log = nullptr, const char* name = "");
    Spy(mtxImageEditor* editor, RECT r, uint32_t color = 0xFF0000FF,
        std::vector<std::string>* log = nullptr, const char* name = "");
    ~Spy() override;

    int OnLButtonDown(int x, int y, uint32_t keys) override;
    int OnLButtonUp(int x, int y, uint32_t keys) override;
    int OnLButtonDblClk(int x, int y, uint32_t keys) override;
    int OnMouseMove(int x, int y, uint32_t keys) override;
    // Logs "wheel(x,y,delta,keys)"; uses the turn when usesWheel, otherwise
    // passes it to the children.
    int OnMouseWheel(int x, int y, int delta, uint32_t keys) override;
    void OnCaptureLost() override;
    void OnKillFocus() override;
    void OnTimer(uintptr_t id) override;
    void OnChar(uint32_t c, uint32_t) override;
    void OnDeviceLost() override;
    void OnDeviceReset() override;
    void Draw(int x, int y, const RECT& clip) override;

    void Log(const std::string& what) const;

    uint32_t color;
    std::vector<std::string>* log;
    std::string name;
    std::vector<RECT> clips;  // the clip of every Draw
    int draws = 0, invalidateInDraw = 0, resets = 0, losses = 0;
    bool* destroyed = nullptr;
    bool usesWheel = false;
};

std::string Str(const RECT& r);

// True when red, green and blue of a and b (0xAARRGGBB) differ by at most
// tolerance each.
bool Near(uint32_t a, uint32_t b, int tolerance);

// Records the actions that reach it.
struct ActionLog : mtxIEActionProcessor {
    std::vector<std::pair<uint32_t, uint16_t>> got;
    int Process(uint32_t action, uint16_t value) override {
        got.emplace_back(action, value);
        return 1;
    }
};

// Handles what is posted to the thread's windows.
void PumpPosted();
// A key pressed and released as the window system sends it (WM_KEYDOWN, and
// WM_CHAR for the keys that make a character).
void Key(mtxImageEditor& editor, uint32_t vk);
// Characters typed, one WM_CHAR each.
void Type(mtxImageEditor& editor, const std::string& text);

}  // namespace ui_test
