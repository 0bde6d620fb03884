#include "app/shell/splash_task.h"

#include "app/shell/picture.h"
#include "base/base_thread.h"
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

// The splash's own thread: it shows the window and pumps its events until
// asked to close (any request).
class mtxSplashTask::Thread : public mtxBaseThread {
  public:
    explicit Thread(mtxSplashTask& task) : task_(task) {}
    ~Thread() override { Join(); }
    int Run() override {
        task_.Run(*this);
        return 0;
    }
    // Whether a request came; it is answered at once.
    bool CloseAsked() {
        uint32_t code = 0;
        if (!PeekRequest(&code)) return false;
        Reply(kSuccess);
        return true;
    }

  private:
    mtxSplashTask& task_;
};

mtxSplashTask::mtxSplashTask() {
    // The splash thread talks to the display while the main thread opens its
    // windows: the display library must know before either starts.
    PrepareDisplayThreads();
    thread_ = std::make_unique<Thread>(*this);
    thread_->Start();
}

mtxSplashTask::~mtxSplashTask() {
    // Answered as soon as the thread looks, whether or not its window is up yet.
    thread_->SendRequest(1);
    thread_.reset();
}

void mtxSplashTask::Run(Thread& thread) {
    std::unique_ptr<SplashWindow> window =
        SplashWindow::Open(wnd_.Picture(), SplashWnd::kFillColor);
    showing_ = window != nullptr;
    started_ = true;
    MSG msg;
    while (!thread.CloseAsked()) {
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
