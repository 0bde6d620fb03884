#include "app/shell/splash_task.h"

#include "app/shell/picture.h"
#include "platform/cpu.h"
#include "platform/splash_window.h"
#include "platform/window.h"

using namespace mtxOs;

void mtxComposeSplash(const Bitmap& background, const Bitmap& upper, const Bitmap& lower,
                      Bitmap& out) {
    out = background;
    if (out.width <= 0 || out.height <= 0) {
        out = {};
        return;
    }
    out.BlendOver(upper, 15, 30);
    out.BlendOver(lower, 15, out.height - lower.height);
}

mtxSplashTask::SplashWnd::SplashWnd() : mtxWnd(kId) {
    Bitmap background, upper, lower;
    mtxLoadPictureResource(40502, background);
    mtxLoadPictureResource(40503, upper);
    mtxLoadPictureResource(40504, lower);
    mtxComposeSplash(background, upper, lower, picture_);
}

mtxSplashTask::mtxSplashTask() {
    // The splash thread talks to the display while the main thread opens its
    // windows: the display library must know before either starts.
    PrepareDisplayThreads();
    thread_ = std::thread([this] { Run(); });
}

mtxSplashTask::~mtxSplashTask() {
    // Wait until the thread is ready to hear the closing message.
    while (!started_) SleepMilliseconds(5);
    PostThreadMessage(threadId_, WM_COMMAND, 1, 0);
    thread_.join();
}

void mtxSplashTask::Run() {
    threadId_ = ThreadId();
    std::unique_ptr<SplashWindow> window =
        SplashWindow::Open(wnd_.Picture(), SplashWnd::kFillColor);
    showing_ = window != nullptr;
    started_ = true;
    MSG msg;
    for (;;) {
        if (PeekMessage(msg, true)) {
            if (msg.message == WM_QUIT) break;
            if (!msg.hwnd && msg.message == WM_COMMAND && msg.wParam == 1) break;
            DispatchMessage(msg);
            continue;
        }
        if (window)
            window->Pump(10);
        else
            WaitMessage(50);
    }
}
