#include "fill/fill_maps.h"

#include <cmath>
#include <new>

#include "image/image.h"

void mtxFillMaps::Clear() {
    Drop(kProtect);
    Drop(kDetail);
}

void mtxFillMaps::Drop(Plane plane) {
    planes_[plane] = {};
    if (plane == kProtect) protectedIn_ = {};
    if (!Has(kProtect) && !Has(kDetail)) width_ = height_ = blocksAcross_ = blocksDown_ = 0;
    ++revision_;
}

int mtxFillMaps::EnsureSize(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    if (width == width_ && height == height_) return 1;
    Clear();
    width_ = width, height_ = height;
    blocksAcross_ = (width + kBlock - 1) / kBlock;
    blocksDown_ = (height + kBlock - 1) / kBlock;
    return 1;
}

int mtxFillMaps::Create(Plane plane, int width, int height) {
    if (!EnsureSize(width, height)) return 0;
    try {
        planes_[plane].assign(size_t(width) * size_t(height), plane == kDetail ? kNeutral : 0);
        if (plane == kProtect) protectedIn_.assign(size_t(blocksAcross_) * size_t(blocksDown_), 0);
    } catch (const std::bad_alloc&) {
        Drop(plane);
        return 0;
    }
    ++revision_;
    return 1;
}

int mtxFillMaps::FromPicture(Plane plane, const mtxImage& picture) {
    if (!picture.data || !Create(plane, picture.width, picture.height)) return 0;
    uint8_t* out = planes_[plane].data();
    for (int y = 0; y < height_; ++y) {
        const mtxColor* row = picture.Row(y);
        for (int x = 0; x < width_; ++x, ++out) {
            const mtxColor p = row[x];
            const int luma =
                (299 * int(mtxRed(p)) + 587 * int(mtxGreen(p)) + 114 * int(mtxBlue(p)) + 500) /
                1000;
            const int alpha = int(mtxAlpha(p));
            if (plane == kProtect)
                *out = alpha >= 128 && luma < 128 ? 255 : 0;
            else
                *out = uint8_t(kNeutral +
                               ((luma - kNeutral) * alpha + (luma > kNeutral ? 127 : -127)) / 255);
        }
    }
    MarkChanged(0, 0, width_ - 1, height_ - 1);
    return 1;
}

bool mtxFillMaps::Clip(int& x0, int& y0, int& x1, int& y1) const {
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    x1 = std::min(x1, width_ - 1), y1 = std::min(y1, height_ - 1);
    return x0 <= x1 && y0 <= y1;
}

void mtxFillMaps::MarkChanged(int x0, int y0, int x1, int y1) {
    ++revision_;
    if (!Has(kProtect) || !Clip(x0, y0, x1, y1)) return;
    for (int by = y0 / kBlock; by <= y1 / kBlock; ++by)
        for (int bx = x0 / kBlock; bx <= x1 / kBlock; ++bx) {
            uint16_t count = 0;
            for (int y = by * kBlock; y < std::min(height_, by * kBlock + kBlock); ++y)
                for (int x = bx * kBlock; x < std::min(width_, bx * kBlock + kBlock); ++x)
                    count = uint16_t(count + (planes_[kProtect][Index(x, y)] != 0));
            protectedIn_[size_t(by) * size_t(blocksAcross_) + size_t(bx)] = count;
        }
}

bool mtxFillMaps::AnyProtected(int x0, int y0, int x1, int y1) const {
    return FindProtected(x0, y0, x1, y1, [](int, int) { return true; });
}

// Two octaves either way: the levels 0 and 255 sit the same distance from neutral.
float mtxFillMaps::ScaleOf(uint8_t level) {
    const float t = level >= kNeutral ? float(level - kNeutral) / float(255 - kNeutral)
                                      : float(level - kNeutral) / float(kNeutral);
    return std::exp2(-t * kDetailOctaves);
}

void mtxFillMaps::ScaleRange(float* smallest, float* largest) const {
    uint8_t low = kNeutral, high = kNeutral;
    if (Has(kDetail)) {
        auto [lo, hi] = std::minmax_element(planes_[kDetail].begin(), planes_[kDetail].end());
        low = std::min(low, *lo), high = std::max(high, *hi);
    }
    *smallest = ScaleOf(high), *largest = ScaleOf(low);
}
