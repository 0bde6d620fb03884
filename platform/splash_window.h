#pragma once
#include <cstdint>
#include <memory>

#include "platform/bitmap.h"

// The start-up picture: a borderless window centred on the desktop, shown
// through a display connection of its own so that a thread other than the
// user-interface thread can own it while the program starts.
namespace mtxOs {

// Makes the display library safe for several threads. Call once, before any
// window or splash is opened.
void PrepareDisplayThreads();

class SplashWindow {
  public:
    ~SplashWindow();
    SplashWindow(const SplashWindow&) = delete;
    SplashWindow& operator=(const SplashWindow&) = delete;

    // Shows picture (its alpha is ignored) over a window filled with fillRgb
    // (0xRRGGBB). Null, silently, without a display or a usable visual.
    static std::unique_ptr<SplashWindow> Open(const Bitmap& picture, uint32_t fillRgb);
    // Repaints what the display asks for; waits up to timeoutMs for an event.
    void Pump(int timeoutMs);

  private:
    SplashWindow() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace mtxOs
