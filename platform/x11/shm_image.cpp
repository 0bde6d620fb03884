#include "platform/x11/shm_image.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <mutex>

namespace {

// XShmAttach fails asynchronously (a remote server cannot reach the segment);
// the error arrives at the next round trip and must not end the program.
std::mutex attachMutex;
bool attachFailed = false;

int NoteAttachError(Display*, XErrorEvent*) {
    attachFailed = true;
    return 0;
}

bool Attach(Display* display, XShmSegmentInfo* segment) {
    std::lock_guard<std::mutex> lock(attachMutex);
    XSync(display, False);
    attachFailed = false;
    auto previous = XSetErrorHandler(NoteAttachError);
    Status ok = XShmAttach(display, segment);
    XSync(display, False);
    XSetErrorHandler(previous);
    return ok && !attachFailed;
}

// A GL window may have a DirectColor visual; its words go through the
// window's colour map just as the GL driver's own pictures do.
bool TakesRgbWords(const XWindowAttributes& attributes) {
    const Visual* v = attributes.visual;
    return v && (v->c_class == TrueColor || v->c_class == DirectColor) && attributes.depth == 24 &&
           v->red_mask == 0xFF0000 && v->green_mask == 0xFF00 && v->blue_mask == 0xFF;
}

}  // namespace

struct mtxX11ShmImage::Impl {
    Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
    XImage* image = nullptr;
    XShmSegmentInfo segment = {};
    bool attached = false;

    ~Impl() {
        if (attached) {
            XShmDetach(display, &segment);
            XSync(display, False);
        }
        if (image) {
            image->data = nullptr;  // the segment is not XDestroyImage's to free
            XDestroyImage(image);
        }
        if (segment.shmaddr && segment.shmaddr != reinterpret_cast<char*>(-1))
            shmdt(segment.shmaddr);
        if (gc) XFreeGC(display, gc);
    }
};

mtxX11ShmImage::mtxX11ShmImage(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {
    XImage* image = impl_->image;
    pixels_ = reinterpret_cast<uint32_t*>(image->data);
    stride_ = size_t(image->bytes_per_line) / 4;
    width_ = image->width, height_ = image->height;
}

mtxX11ShmImage::~mtxX11ShmImage() = default;

std::unique_ptr<mtxX11ShmImage> mtxX11ShmImage::Create(void* displayPointer, unsigned long window,
                                                       int width, int height) {
    auto* display = static_cast<Display*>(displayPointer);
    if (!display || !window || width <= 0 || height <= 0 || !XShmQueryExtension(display))
        return nullptr;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || !TakesRgbWords(attributes))
        return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->display = display;
    impl->window = window;
    impl->image = XShmCreateImage(display, attributes.visual, 24, ZPixmap, nullptr, &impl->segment,
                                  unsigned(width), unsigned(height));
    if (!impl->image || impl->image->bits_per_pixel != 32) return nullptr;
    size_t bytes = size_t(impl->image->bytes_per_line) * size_t(height);
    impl->segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (impl->segment.shmid < 0) return nullptr;
    impl->segment.shmaddr = static_cast<char*>(shmat(impl->segment.shmid, nullptr, 0));
    // Marked for removal at once: the segment goes with its last user, even
    // when the program ends abruptly.
    shmctl(impl->segment.shmid, IPC_RMID, nullptr);
    if (impl->segment.shmaddr == reinterpret_cast<char*>(-1)) return nullptr;
    impl->image->data = impl->segment.shmaddr;
    impl->segment.readOnly = False;
    if (!Attach(display, &impl->segment)) return nullptr;
    impl->attached = true;
    impl->gc = XCreateGC(display, window, 0, nullptr);
    if (!impl->gc) return nullptr;
    return std::unique_ptr<mtxX11ShmImage>(new mtxX11ShmImage(std::move(impl)));
}

void mtxX11ShmImage::Put(const RECT& r) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    XShmPutImage(impl_->display, impl_->window, impl_->gc, impl_->image, r.left, r.top, r.left,
                 r.top, unsigned(r.right - r.left), unsigned(r.bottom - r.top), False);
    XSync(impl_->display, False);
}
