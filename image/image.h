#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "image/field.h"

class mtxFile;

// One A8R8G8B8 pixel: alpha in bits 24-31, red 16-23, green 8-15, blue 0-7, so the
// bytes in memory are blue, green, red, alpha. After ToYCbCr the same word holds
// alpha, Y, Cb, Cr.
using mtxColor = uint32_t;
using mtxColorValue = uint32_t;

constexpr uint32_t kFormatA8R8G8B8 = 21;

inline uint32_t mtxAlpha(mtxColor c) {
    return c >> 24;
}
inline uint32_t mtxRed(mtxColor c) {
    return (c >> 16) & 0xFF;
}
inline uint32_t mtxGreen(mtxColor c) {
    return (c >> 8) & 0xFF;
}
inline uint32_t mtxBlue(mtxColor c) {
    return c & 0xFF;
}
inline mtxColor mtxArgb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// The clip region an image carries. No operation fills it; it is created empty
// and released with the image.
struct mtxImageRegion {
    mtxImageRegion() = default;
    mtxImageRegion(const mtxImageRegion&) = delete;
    mtxImageRegion& operator=(const mtxImageRegion&) = delete;
    ~mtxImageRegion() { std::free(buffer); }

    void* buffer = nullptr;  // owned
    uint32_t counts[4] = {};
    mtxRect bounds;  // empty
};

// Counters of Histogram: block 0 stays zero, blocks 1 to 3 count red, green and
// blue values; the totals are the number of counted pixels, three times.
struct mtxColorHistogram {
    uint32_t counts[4][256];
    float totals[3];
};

// A rectangle of A8R8G8B8 pixels in memory. Devices derive their own images from
// it (pixels in a surface) and override the virtual operations.
class mtxImage : public mtxField<mtxColor, mtxColorValue> {
  public:
    using Base = mtxField<mtxColor, mtxColorValue>;

    mtxImage();
    // Create(width, height, opaque black).
    mtxImage(int width, int height);
    // Wraps an external buffer; the image never frees it.
    mtxImage(mtxColor* buffer, int width, int height, int pitch);
    ~mtxImage() override;

    void Free() override;
    // Copies another field; an image also copies its YCbCr state. 1, or 0 when the
    // buffer cannot be allocated.
    int Assign(const Base& other) override;

    // A new, empty-pixelled image of the same kind (same device for device images)
    // and the given size, filled opaque black; null when it cannot be made.
    virtual std::unique_ptr<mtxImage> CreateSameKind(int width, int height) const;

    // Colour conversions, in place.
    void ToYCbCr();
    void ToGray();
    // Copies channel 0 alpha, 1 red or Y, 2 green or Cb, 3 blue or Cr into red,
    // green and blue; alpha kept. Other channels do nothing.
    void ChannelToGray(int channel);
    void Tint(uint8_t cb, uint8_t cr);

    // Gaussian blur in place; sigma is kept at or below 15.75 by callers (larger
    // values are limited to the 64-tap table).
    void Blur(float sigma);
    // Rows first..last-1 of this image become those rows of source (of this
    // image's size, another image) as source.Blur(sigma) would leave them;
    // source is only read, so threads may fill different rows at once. 1, or
    // 0 when the sizes differ or memory is short.
    int BlurRowsOf(const mtxImage& source, float sigma, int first, int last);

    // Copy and blends of source's rect (empty = whole source) to (x, y) of this
    // image, clipped to both images. The source may be this image only for Blit
    // of non-overlapping areas.
    void Blit(mtxImage& source, const mtxRect& rect, int x, int y);
    void BlendOver(mtxImage& source, uint8_t opacity, const mtxRect& rect, int x, int y);
    void Composite(mtxImage& source, const mtxRect& rect, int x, int y);

    // Counts the channel values of every pixel whose alpha is not 0; returns 1.
    int Histogram(mtxColorHistogram& out);

    mtxImageRegion region;
    int32_t isYCbCr = 0;        // 1 after ToYCbCr until converted back
    void* auxiliary = nullptr;  // optional heap block (malloc) owned by the image
    uint32_t reserved = 0;
};
