#include "tests/ui/screen_reader.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace ui_test {

std::vector<uint32_t> ReadScreen(int x, int y, int width, int height) {
    std::vector<uint32_t> out;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return out;
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, unsigned(width),
                              unsigned(height), AllPlanes, ZPixmap);
    if (image) {
        out.reserve(size_t(width) * height);
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i)
                out.push_back(uint32_t(XGetPixel(image, i, j)) & 0xFFFFFF);
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return out;
}

}  // namespace ui_test
