#include "platform/bitmap.h"

#include <algorithm>

namespace mtxOs {

namespace {

uint32_t Mix(uint32_t dst, uint32_t src, uint32_t a) {  // a in 0..255
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t d = (dst >> shift) & 0xFF, s = (src >> shift) & 0xFF;
        out |= ((s * a + d * (255 - a) + 127) / 255) << shift;
    }
    uint32_t da = dst >> 24;
    uint32_t oa = a + (da * (255 - a) + 127) / 255;
    return out | (oa << 24);
}

}  // namespace

void Bitmap::Resize(int w, int h, uint32_t color) {
    width = std::max(w, 0);
    height = std::max(h, 0);
    pixels.assign(static_cast<size_t>(width) * height, color);
}

void Bitmap::Fill(int left, int top, int right, int bottom, uint32_t color) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width);
    bottom = std::min(bottom, height);
    for (int y = top; y < bottom; ++y)
        std::fill(Row(y) + left, Row(y) + std::max(left, right), color);
}

void Bitmap::BlendMask(int x, int y, const uint8_t* mask, int maskWidth, int maskHeight,
                       int maskPitch, int maxLevel, uint32_t color, int clipLeft, int clipTop,
                       int clipRight, int clipBottom) {
    int x0 = std::max({x, clipLeft, 0}), y0 = std::max({y, clipTop, 0});
    int x1 = std::min({x + maskWidth, clipRight, width});
    int y1 = std::min({y + maskHeight, clipBottom, height});
    uint32_t alpha = color >> 24;
    for (int py = y0; py < y1; ++py) {
        const uint8_t* m = mask + static_cast<size_t>(py - y) * maskPitch;
        uint32_t* d = Row(py);
        for (int px = x0; px < x1; ++px) {
            uint32_t level = std::min<uint32_t>(m[px - x], maxLevel);
            uint32_t a = level * 255 / maxLevel * alpha / 255;
            if (a) d[px] = Mix(d[px], color, a);
        }
    }
}

void Bitmap::BlendOver(const Bitmap& src, int x, int y) {
    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int x1 = std::min(x + src.width, width), y1 = std::min(y + src.height, height);
    for (int py = y0; py < y1; ++py) {
        const uint32_t* s = src.Row(py - y);
        uint32_t* d = Row(py);
        for (int px = x0; px < x1; ++px) {
            uint32_t c = s[px - x], a = c >> 24;
            if (a == 255)
                d[px] = c;
            else if (a)
                d[px] = Mix(d[px], c, a);
        }
    }
}

void Bitmap::Copy(const Bitmap& src, int srcX, int srcY, int w, int h, int x, int y) {
    if (srcX < 0) {
        w += srcX;
        x -= srcX;
        srcX = 0;
    }
    if (srcY < 0) {
        h += srcY;
        y -= srcY;
        srcY = 0;
    }
    if (x < 0) {
        w += x;
        srcX -= x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        srcY -= y;
        y = 0;
    }
    w = std::min({w, src.width - srcX, width - x});
    h = std::min({h, src.height - srcY, height - y});
    for (int row = 0; row < h; ++row)
        std::copy_n(src.Row(srcY + row) + srcX, std::max(w, 0), Row(y + row) + x);
}

}  // namespace mtxOs
