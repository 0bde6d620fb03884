#pragma once
#include <cstdint>

#include "ui/button.h"
#include "ui/texture_picture.h"

// A push button that shows a picture centred on its face (pressed, one pixel
// down and to the right) instead of a caption.
class mtxIEBmpButton : public mtxIEButton {
  public:
    static constexpr int kMaxSide = 256;

    using mtxIEButton::mtxIEButton;

    // width x height A8R8G8B8 pixels, row 0 first; 0 (and no picture) for a
    // missing picture or one larger than kMaxSide.
    int SetPicture(const uint32_t* argb, int width, int height);
    bool HasPicture() const { return !picture.Empty(); }

    void Draw(int x, int y, const RECT& clip) override;
    void OnDeviceLost() override;

    mtxIETexturePicture picture;
};
