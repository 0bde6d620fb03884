// Colour conversions of mtxImage: YCbCr (JFIF), grey, tint, histogram.
#include <cmath>

#include "image/image.h"

namespace {

inline int Clamp255(long v) {
    return v < 0 ? 0 : (v > 255 ? 255 : int(v));
}

// JFIF luma, single precision, rounded to nearest (ties to even) and clamped.
inline int Luma(float r, float g, float b) {
    return Clamp255(std::lrintf(0.299f * r + 0.587f * g + 0.114f * b));
}

// RGB to alpha, Y, Cb, Cr. The chroma brackets are rounded before 128 is applied.
inline mtxColor PixelToYCbCr(mtxColor c) {
    float r = float(mtxRed(c)), g = float(mtxGreen(c)), b = float(mtxBlue(c));
    int y = Luma(r, g, b);
    int cb = Clamp255(128 - std::lrintf(0.1687f * r + 0.3313f * g - 0.5f * b));
    int cr = Clamp255(128 + std::lrintf(0.5f * r - 0.4187f * g - 0.0813f * b));
    return (c & 0xFF000000u) | (uint32_t(y) << 16) | (uint32_t(cb) << 8) | uint32_t(cr);
}

}  // namespace

void mtxImage::ToYCbCr() {
    if (width <= 0 || height <= 0) return;
    mtxFieldLock<mtxImage> lock(*this);
    if (!lock || !data) return;
    for (int y = 0; y < height; ++y) {
        mtxColor* row = Row(y);
        for (int x = 0; x < width; ++x) row[x] = PixelToYCbCr(row[x]);
    }
    isYCbCr = 1;
}

void mtxImage::ToGray() {
    if (!isYCbCr) ToYCbCr();
    ChannelToGray(1);
}

void mtxImage::ChannelToGray(int channel) {
    if (channel < 0 || channel > 3 || width <= 0 || height <= 0) return;
    mtxFieldLock<mtxImage> lock(*this);
    if (!lock || !data) return;
    const int shift = 24 - 8 * channel;
    for (int y = 0; y < height; ++y) {
        mtxColor* row = Row(y);
        for (int x = 0; x < width; ++x) {
            uint32_t v = (row[x] >> shift) & 0xFF;
            row[x] = (row[x] & 0xFF000000u) | (v * 0x010101u);
        }
    }
}

void mtxImage::Tint(uint8_t cb, uint8_t cr) {
    if (width <= 0 || height <= 0) return;
    mtxFieldLock<mtxImage> lock(*this);
    if (!lock || !data) return;
    if (isYCbCr) {
        const uint32_t chroma = (uint32_t(cb) << 8) | cr;
        for (int y = 0; y < height; ++y) {
            mtxColor* row = Row(y);
            for (int x = 0; x < width; ++x) row[x] = (row[x] & 0xFFFF0000u) | chroma;
        }
        return;
    }
    // The new chroma is the same for every pixel, so are its offsets from Y.
    const float dcb = float(int(cb) - 128), dcr = float(int(cr) - 128);
    const long dr = std::lrintf(dcr * 1.402f);
    const long dg = std::lrintf(dcb * 0.34414f + dcr * 0.71414f);
    const long db = std::lrintf(dcb * 1.772f);
    for (int y = 0; y < height; ++y) {
        mtxColor* row = Row(y);
        for (int x = 0; x < width; ++x) {
            mtxColor c = row[x];
            long l = Luma(float(mtxRed(c)), float(mtxGreen(c)), float(mtxBlue(c)));
            row[x] = mtxArgb(mtxAlpha(c), Clamp255(l + dr), Clamp255(l - dg), Clamp255(l + db));
        }
    }
    isYCbCr = 0;
}

int mtxImage::Histogram(mtxColorHistogram& out) {
    std::memset(&out, 0, sizeof(out));
    if (width <= 0 || height <= 0) return 1;
    mtxFieldLock<mtxImage> lock(*this);
    if (!lock || !data) return 1;
    // Counted in an integer: a float total stops growing at 2^24 pixels.
    uint64_t counted = 0;
    for (int y = 0; y < height; ++y) {
        const mtxColor* row = Row(y);
        for (int x = 0; x < width; ++x) {
            mtxColor c = row[x];
            if (!(c >> 24)) continue;
            ++out.counts[1][mtxRed(c)];
            ++out.counts[2][mtxGreen(c)];
            ++out.counts[3][mtxBlue(c)];
            ++counted;
        }
    }
    out.totals[0] = out.totals[1] = out.totals[2] = float(counted);
    return 1;
}
