// A picture the size of a window in memory shared with the X server
// (MIT-SHM): what is written into it reaches the window with one copy in the
// server, without going through the socket. Internal to platform/.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/geometry.h"

class mtxX11ShmImage {
  public:
    // display: an X11 Display*, window: its window. Null when the server
    // offers no shared memory (a remote display, MIT-SHM disabled) or the
    // window's pixels are not 24-bit 0x00RRGGBB words.
    static std::unique_ptr<mtxX11ShmImage> Create(void* display, unsigned long window, int width,
                                                  int height);
    ~mtxX11ShmImage();
    mtxX11ShmImage(const mtxX11ShmImage&) = delete;
    mtxX11ShmImage& operator=(const mtxX11ShmImage&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    size_t Stride() const { return stride_; }  // in pixels
    uint32_t* Row(int y) { return pixels_ + size_t(y) * stride_; }
    // Shows r of the picture at the same place in the window; returns once
    // the server has copied it, so the picture may be written again.
    void Put(const RECT& r);

  private:
    struct Impl;
    explicit mtxX11ShmImage(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    uint32_t* pixels_ = nullptr;
    size_t stride_ = 0;
    int width_ = 0, height_ = 0;
};
