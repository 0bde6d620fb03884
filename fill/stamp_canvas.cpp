#include "fill/stamp_canvas.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "image/image.h"

int mtxStampCanvas::Reset(const mtxImage& photo, int cell, const uint8_t* protect) {
    return Begin(photo, cell, protect) && AddRows(height_);
}

int mtxStampCanvas::Begin(const mtxImage& photo, int cell, const uint8_t* protect) {
    width_ = height_ = marked_ = 0;
    counting_ = covered_ = 0;
    photo_ = nullptr;
    const bool kept = state_ && Fits(photo.width, photo.height, cell);
    if (photo.width <= 0 || photo.height <= 0 || !photo.data || cell < 1 ||
        !Reserve(photo.width, photo.height, cell, false))
        return 0;
    cell_ = cell;
    width_ = roomWidth_, height_ = roomHeight_;
    // Cells start as kOutside: room kept from before is cleared, room from
    // the system is zero already.
    if (kept) {
        std::fill_n(state_.get(), Cells(), uint8_t(kOutside));
        std::fill_n(color_.get(), Cells(), 0u);
    }
    photo_ = &photo;
    protect_ = protect;
    return 1;
}

bool mtxStampCanvas::Fits(int pictureWidth, int pictureHeight, int cell) const {
    return cell >= 1 && roomWidth_ == (pictureWidth + cell - 1) / cell &&
           roomHeight_ == (pictureHeight + cell - 1) / cell;
}

int mtxStampCanvas::Reserve(int pictureWidth, int pictureHeight, int cell, bool touch) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || cell < 1) return 0;
    if (state_ && Fits(pictureWidth, pictureHeight, cell)) return 1;
    const int width = (pictureWidth + cell - 1) / cell, height = (pictureHeight + cell - 1) / cell;
    roomWidth_ = roomHeight_ = 0;
    try {
        state_.allocate(size_t(width) * size_t(height));
        color_.allocate(size_t(width) * size_t(height));
    } catch (const std::bad_alloc&) {
        state_.reset();
        color_.reset();
        return 0;
    }
    if (touch) state_.touch(), color_.touch();
    roomWidth_ = width, roomHeight_ = height;
    return 1;
}

int mtxStampCanvas::AddRows(int rows) {
    if (!state_ || width_ == 0) return 0;
    for (; marked_ < height_ && rows > 0; ++marked_, --rows) {
        const mtxImage& photo = *photo_;
        const int y = std::min(marked_ * cell_ + cell_ / 2, photo.height - 1);
        const mtxColor* row = photo.Row(y);
        const uint8_t* kept = protect_ ? protect_ + size_t(y) * size_t(photo.width) : nullptr;
        for (int cx = 0; cx < width_; ++cx) {
            const int x = std::min(cx * cell_ + cell_ / 2, photo.width - 1);
            if (mtxAlpha(row[x]) == 0 || (kept && kept[x])) continue;
            state_[Index(cx, marked_)] = kOpen;
            ++counting_;
        }
    }
    if (marked_ < height_) return 0;
    photo_ = nullptr;
    protect_ = nullptr;
    return 1;
}

bool mtxStampCanvas::Covers(const uint8_t* alpha, int width, int height, double x, double y) {
    const int cx = int(std::floor(x)), cy = int(std::floor(y));
    for (int ty = std::max(0, cy - 1); ty <= std::min(height - 1, cy + 1); ++ty)
        for (int tx = std::max(0, cx - 1); tx <= std::min(width - 1, cx + 1); ++tx)
            if (alpha[size_t(ty) * size_t(width) + size_t(tx)] < mtxStampCanvas::kCovering)
                return false;
    return true;
}

void mtxStampCanvas::Paint(const float corner[3][2], const float u[2], const float v[2],
                           const uint8_t* alpha, int width, int height, uint32_t rgb) {
    if (!state_ || width_ == 0 || marked_ < height_ || !alpha || width <= 0 || height <= 0) return;
    // The quad is the parallelogram A + s (B - A) + t (C - A), 0 <= s, t < 1.
    double ax = corner[0][0], ay = corner[0][1];
    double ex = corner[1][0] - ax, ey = corner[1][1] - ay;
    double fx = corner[2][0] - ax, fy = corner[2][1] - ay;
    double det = ex * fy - ey * fx;
    if (!(std::fabs(det) > 1e-9)) return;
    double xs[4] = {ax, ax + ex, ax + fx, ax + ex + fx},
           ys[4] = {ay, ay + ey, ay + fy, ay + ey + fy};
    double left = *std::min_element(xs, xs + 4), right = *std::max_element(xs, xs + 4);
    double top = *std::min_element(ys, ys + 4), bottom = *std::max_element(ys, ys + 4);
    const double half = cell_ / 2;
    int x0 = std::max(0, int(std::ceil((left - half) / cell_)));
    int x1 = std::min(width_ - 1, int(std::floor((right - half) / cell_)));
    int y0 = std::max(0, int(std::ceil((top - half) / cell_)));
    int y1 = std::min(height_ - 1, int(std::floor((bottom - half) / cell_)));
    for (int cy = y0; cy <= y1; ++cy) {
        double py = cy * cell_ + half - ay;
        for (int cx = x0; cx <= x1; ++cx) {
            size_t at = Index(cx, cy);
            if (state_[at] == kOutside) continue;
            double px = cx * cell_ + half - ax;
            double s = (px * fy - py * fx) / det, t = (ex * py - ey * px) / det;
            if (s < 0 || s >= 1 || t < 0 || t >= 1) continue;
            double tu = u[0] + s * (u[1] - u[0]), tv = v[0] + t * (v[1] - v[0]);
            if (!Covers(alpha, width, height, tu * width, tv * height)) continue;
            if (state_[at] == kOpen) ++covered_;
            state_[at] = kCovered;
            color_[at] = rgb;
        }
    }
}

mtxStampCanvas::Sums mtxStampCanvas::Query(int x0, int y0, int x1, int y1) const {
    Sums sums;
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    x1 = std::min(x1, width_ - 1), y1 = std::min(y1, height_ - 1);
    for (int cy = y0; cy <= y1; ++cy)
        for (int cx = x0; cx <= x1; ++cx) {
            size_t at = Index(cx, cy);
            if (state_[at] == kOpen) {
                ++sums.uncovered;
            } else if (state_[at] == kCovered) {
                ++sums.covered;
                sums.red += color_[at] >> 16, sums.green += (color_[at] >> 8) & 0xFF;
                sums.blue += color_[at] & 0xFF;
            }
        }
    return sums;
}

void mtxStampCanvas::CollectUncovered(std::vector<uint32_t>& cells) const {
    cells.clear();
    for (size_t i = 0; i < Cells(); ++i)
        if (state_[i] == kOpen) cells.push_back(uint32_t(i));
}
