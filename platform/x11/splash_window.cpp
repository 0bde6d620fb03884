#include "platform/splash_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace mtxOs {

void PrepareDisplayThreads() {
    static std::once_flag once;
    std::call_once(once, [] { XInitThreads(); });
}

struct SplashWindow::Impl {
    Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
    XImage* image = nullptr;
    int width = 0, height = 0;
    unsigned long fill = 0;

    ~Impl() {
        if (image) XDestroyImage(image);  // frees the pixel copy too
        if (gc) XFreeGC(display, gc);
        if (window) XDestroyWindow(display, window);
        if (display) XCloseDisplay(display);
    }

    void Paint() {
        XSetForeground(display, gc, fill);
        XFillRectangle(display, window, gc, 0, 0, width, height);
        XPutImage(display, window, gc, image, 0, 0, 0, 0, width, height);
        XFlush(display);
    }
};

SplashWindow::~SplashWindow() = default;

std::unique_ptr<SplashWindow> SplashWindow::Open(const Bitmap& picture, uint32_t fillRgb) {
    if (picture.width <= 0 || picture.height <= 0) return nullptr;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->display = XOpenDisplay(nullptr);
    if (!impl->display) return nullptr;
    Display* d = impl->display;
    int screen = DefaultScreen(d);
    Visual* visual = DefaultVisual(d, screen);
    int depth = DefaultDepth(d, screen);
    // The picture's words are 0x00RRGGBB once alpha is dropped: exactly a
    // 24-bit true-colour pixel. Other visuals are left without a splash.
    if (visual->c_class != TrueColor || (depth != 24 && depth != 32) ||
        visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF)
        return nullptr;
    impl->width = picture.width;
    impl->height = picture.height;
    impl->fill = fillRgb & 0xFFFFFF;

    size_t bytes = picture.pixels.size() * 4;
    auto* copy = static_cast<char*>(std::malloc(bytes));
    if (!copy) return nullptr;
    std::memcpy(copy, picture.pixels.data(), bytes);
    impl->image = XCreateImage(d, visual, depth, ZPixmap, 0, copy, picture.width, picture.height,
                               32, picture.width * 4);
    if (!impl->image) {
        std::free(copy);
        return nullptr;
    }
    impl->image->byte_order = LSBFirst;

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;  // no frame, no task-bar entry, above the others
    attributes.background_pixel = impl->fill;
    attributes.event_mask = ExposureMask;
    int x = (DisplayWidth(d, screen) - picture.width) / 2;
    int y = (DisplayHeight(d, screen) - picture.height) / 2;
    impl->window = XCreateWindow(d, RootWindow(d, screen), x, y, picture.width, picture.height, 0,
                                 depth, InputOutput, visual,
                                 CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    if (!impl->window) return nullptr;
    impl->gc = XCreateGC(d, impl->window, 0, nullptr);
    XMapRaised(d, impl->window);
    impl->Paint();
    std::unique_ptr<SplashWindow> splash(new SplashWindow);
    splash->impl_ = std::move(impl);
    return splash;
}

void SplashWindow::Pump(int timeoutMs) {
    Display* d = impl_->display;
    if (!XPending(d)) {
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, timeoutMs);
    }
    bool expose = false;
    while (XPending(d)) {
        XEvent e;
        XNextEvent(d, &e);
        expose |= e.type == Expose;
    }
    if (expose) impl_->Paint();
}

}  // namespace mtxOs
