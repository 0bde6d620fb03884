#include "fill/photo_means.h"

#include <algorithm>
#include <new>

#include "image/image.h"

int mtxPhotoMeans::Reset(const mtxImage& photo, int cell) {
    width_ = height_ = 0;
    table_.clear();
    if (photo.width <= 0 || photo.height <= 0 || !photo.data || cell < 1) return 0;
    cell_ = cell;
    pictureWidth_ = photo.width, pictureHeight_ = photo.height;
    int width = (photo.width + cell - 1) / cell, height = (photo.height + cell - 1) / cell;
    const size_t stride = size_t(width + 1) * 4;
    try {
        table_.assign(stride * size_t(height + 1), 0);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    width_ = width, height_ = height;
    std::vector<uint32_t> row(size_t(width) * 4);
    for (int cy = 0; cy < height; ++cy) {
        std::fill(row.begin(), row.end(), 0u);
        for (int y = cy * cell; y < std::min((cy + 1) * cell, photo.height); ++y) {
            const mtxColor* pixels = photo.Row(y);
            for (int x = 0; x < photo.width; ++x) {
                if (mtxAlpha(pixels[x]) == 0) continue;
                uint32_t* sums = &row[size_t(x / cell) * 4];
                sums[0] += mtxRed(pixels[x]), sums[1] += mtxGreen(pixels[x]);
                sums[2] += mtxBlue(pixels[x]), sums[3] += 1;
            }
        }
        // Each entry holds the sums of every cell above and to its left.
        const uint32_t* above = &table_[size_t(cy) * stride];
        uint32_t* out = &table_[size_t(cy + 1) * stride];
        uint32_t across[4] = {};
        for (int cx = 0; cx < width; ++cx)
            for (int c = 0; c < 4; ++c) {
                across[c] += row[size_t(cx) * 4 + size_t(c)];
                out[size_t(cx + 1) * 4 + size_t(c)] =
                    above[size_t(cx + 1) * 4 + size_t(c)] + across[c];
            }
    }
    return 1;
}

uint32_t mtxPhotoMeans::PixelsAcross(int first, int last, int extent) const {
    return uint32_t(std::min((last + 1) * cell_, extent) - first * cell_);
}

mtxPhotoMeans::Sums mtxPhotoMeans::Query(int x0, int y0, int x1, int y1) const {
    Sums sums;
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    x1 = std::min(x1, width_ - 1), y1 = std::min(y1, height_ - 1);
    if (x0 > x1 || y0 > y1) return sums;
    const size_t stride = size_t(width_ + 1) * 4;
    const uint32_t* a = &table_[size_t(y0) * stride + size_t(x0) * 4];
    const uint32_t* b = &table_[size_t(y0) * stride + size_t(x1 + 1) * 4];
    const uint32_t* c = &table_[size_t(y1 + 1) * stride + size_t(x0) * 4];
    const uint32_t* d = &table_[size_t(y1 + 1) * stride + size_t(x1 + 1) * 4];
    uint32_t total[4];
    for (int i = 0; i < 4; ++i) total[i] = d[i] - b[i] - c[i] + a[i];
    sums.red = total[0], sums.green = total[1], sums.blue = total[2], sums.count = total[3];
    sums.pixels = PixelsAcross(x0, x1, pictureWidth_) * PixelsAcross(y0, y1, pictureHeight_);
    return sums;
}
