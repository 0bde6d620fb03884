#include "fill/photo_means.h"

#include <algorithm>
#include <new>

#include "image/image.h"

int mtxPhotoMeans::Reset(const mtxImage& photo, int cell, const uint8_t* protect) {
    return Begin(photo, cell, protect) && AddRows(height_);
}

int mtxPhotoMeans::Begin(const mtxImage& photo, int cell, const uint8_t* protect) {
    width_ = height_ = built_ = 0;
    photo_ = nullptr;
    if (photo.width <= 0 || photo.height <= 0 || !photo.data || cell < 1 ||
        !Reserve(photo.width, photo.height, cell, false))
        return 0;
    cell_ = cell;
    pictureWidth_ = photo.width, pictureHeight_ = photo.height;
    width_ = tableWidth_, height_ = tableHeight_;
    photo_ = &photo;
    protect_ = protect;
    return 1;
}

// A table of the same layout is kept as it is: AddRows writes every entry
// but the first row and column, which stay zero from the system.
int mtxPhotoMeans::Reserve(int pictureWidth, int pictureHeight, int cell, bool touch) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || cell < 1) return 0;
    const int width = (pictureWidth + cell - 1) / cell, height = (pictureHeight + cell - 1) / cell;
    if (table_ && width == tableWidth_ && height == tableHeight_) return 1;
    tableWidth_ = tableHeight_ = 0;
    try {
        table_.allocate(size_t(width + 1) * 4 * size_t(height + 1));
        rowSums_.assign(size_t(width) * 4, 0);
    } catch (const std::bad_alloc&) {
        table_.reset();
        return 0;
    }
    if (touch) table_.touch();
    tableWidth_ = width, tableHeight_ = height;
    return 1;
}

int mtxPhotoMeans::AddRows(int rows) {
    if (!table_ || width_ == 0) return 0;
    const size_t stride = Stride();
    for (; built_ < height_ && rows > 0; ++built_, --rows) {
        SumCellRow(built_, rowSums_.data());
        // Each entry holds the sums of every cell above and to its left.
        const uint32_t* above = &table_[size_t(built_) * stride];
        uint32_t* out = &table_[size_t(built_ + 1) * stride];
        uint32_t across[4] = {};
        for (size_t i = 0; i < size_t(width_) * 4; i += 4)
            for (size_t c = 0; c < 4; ++c) {
                across[c] += rowSums_[i + c];
                out[i + 4 + c] = above[i + 4 + c] + across[c];
            }
    }
    if (built_ < height_) return 0;
    photo_ = nullptr;
    protect_ = nullptr;
    return 1;
}

// The sums of each cell in row cy: red, green, blue and the pixels with alpha.
void mtxPhotoMeans::SumCellRow(int cy, uint32_t* sums) const {
    std::fill_n(sums, size_t(width_) * 4, 0u);
    const int last = std::min((cy + 1) * cell_, pictureHeight_);
    for (int y = cy * cell_; y < last; ++y) {
        const mtxColor* pixels = photo_->Row(y);
        const uint8_t* kept = protect_ ? protect_ + size_t(y) * size_t(pictureWidth_) : nullptr;
        uint32_t* cell = sums;
        for (int x = 0, next = cell_; x < pictureWidth_; ++x) {
            if (x == next) cell += 4, next += cell_;
            const mtxColor pixel = pixels[x];
            if (mtxAlpha(pixel) == 0 || (kept && kept[x])) continue;
            cell[0] += mtxRed(pixel), cell[1] += mtxGreen(pixel);
            cell[2] += mtxBlue(pixel), cell[3] += 1;
        }
    }
}

uint32_t mtxPhotoMeans::PixelsAcross(int first, int last, int extent) const {
    return uint32_t(std::min((last + 1) * cell_, extent) - first * cell_);
}

mtxPhotoMeans::Sums mtxPhotoMeans::Query(int x0, int y0, int x1, int y1) const {
    Sums sums;
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    x1 = std::min(x1, width_ - 1), y1 = std::min(y1, height_ - 1);
    if (x0 > x1 || y0 > y1 || !Complete()) return sums;
    const size_t stride = Stride();
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
