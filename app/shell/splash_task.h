#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "base/wnd.h"
#include "platform/bitmap.h"

// Composes the start-up picture: the foreground pictures alpha-blended onto
// the background, the first with its top-left corner at (15, 30), the second
// with its left edge at x = 15 and its bottom edge on the background's bottom
// edge. An empty background gives an empty result.
void mtxComposeSplash(const mtxOs::Bitmap& background, const mtxOs::Bitmap& upper,
                      const mtxOs::Bitmap& lower, mtxOs::Bitmap& out);

// The splash screen, shown by a thread of its own while the program starts.
// Constructing the task composes the picture and starts the thread;
// destroying it closes the window and joins the thread. Without a display the
// thread shows nothing and only waits to be closed.
class mtxSplashTask {
  public:
    // The splash window: explicit id 9999, and the composed picture.
    class SplashWnd : public mtxWnd {
      public:
        static constexpr uint32_t kId = 9999;
        static constexpr uint32_t kFillColor = 0x00FF00;
        SplashWnd();
        const mtxOs::Bitmap& Picture() const { return picture_; }
        int Width() const { return picture_.width; }
        int Height() const { return picture_.height; }

      private:
        mtxOs::Bitmap picture_;
    };

    // Composes the picture and starts the thread.
    mtxSplashTask();
    // Asks the thread to close the window and waits for it to end.
    ~mtxSplashTask();
    mtxSplashTask(const mtxSplashTask&) = delete;
    mtxSplashTask& operator=(const mtxSplashTask&) = delete;

    // True once the thread has put its window up (or found it cannot).
    bool Started() const { return started_; }
    // True when a window is on the screen.
    bool Showing() const { return showing_; }

  private:
    class Thread;
    void Run(Thread& thread);

    SplashWnd wnd_;
    std::atomic<bool> started_{false};
    std::atomic<bool> showing_{false};
    std::unique_ptr<Thread> thread_;
};
