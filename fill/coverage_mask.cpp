#include "fill/coverage_mask.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "image/image.h"

int mtxCoverageMask::CellFor(int64_t pixels) {
    int cell = 1;
    while (pixels / (int64_t(cell) * cell) > kMaxCells) ++cell;
    return cell;
}

int mtxCoverageMask::Reset(const mtxImage& photo, const uint8_t* protect) {
    width_ = height_ = photoWidth_ = photoHeight_ = 0;
    counting_ = covered_ = 0;
    state_.clear();
    if (photo.width <= 0 || photo.height <= 0 || !photo.data) return 0;
    cell_ = CellFor(int64_t(photo.width) * photo.height);
    width_ = (photo.width + cell_ - 1) / cell_;
    height_ = (photo.height + cell_ - 1) / cell_;
    try {
        state_.assign(size_t(width_) * size_t(height_), 0);
    } catch (const std::bad_alloc&) {
        width_ = height_ = 0;
        return 0;
    }
    photoWidth_ = photo.width, photoHeight_ = photo.height;
    for (int cy = 0; cy < height_; ++cy) {
        int y = std::min(cy * cell_ + cell_ / 2, photo.height - 1);
        const mtxColor* row = photo.Row(y);
        for (int cx = 0; cx < width_; ++cx) {
            int x = std::min(cx * cell_ + cell_ / 2, photo.width - 1);
            if (mtxAlpha(row[x]) > 0)
                state_[size_t(cy) * size_t(width_) + size_t(cx)] = kOpaque | kProtected;
        }
    }
    // Every cell starts protected, so reading the plane counts the open ones.
    Protect(protect, 0, 0, photo.width - 1, photo.height - 1);
    return 1;
}

void mtxCoverageMask::Protect(const uint8_t* protect, int x0, int y0, int x1, int y1) {
    if (state_.empty()) return;
    // The cells whose sampled pixel (centre, clamped to the photo) lies in the rectangle.
    auto first = [this](int p) { return std::max(0, (p - cell_ / 2 + cell_ - 1) / cell_); };
    auto last = [this](int p, int cells, int pixels) {
        return p >= pixels - 1 ? cells - 1 : std::min(cells - 1, (p - cell_ / 2) / cell_);
    };
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    if (x1 < x0 || y1 < y0 || x0 >= photoWidth_ || y0 >= photoHeight_) return;
    const int cx0 = first(x0), cx1 = last(x1, width_, photoWidth_);
    const int cy0 = first(y0), cy1 = last(y1, height_, photoHeight_);
    for (int cy = cy0; cy <= cy1; ++cy) {
        const int y = std::min(cy * cell_ + cell_ / 2, photoHeight_ - 1);
        uint8_t* row = &state_[size_t(cy) * size_t(width_)];
        for (int cx = cx0; cx <= cx1; ++cx) {
            const int x = std::min(cx * cell_ + cell_ / 2, photoWidth_ - 1);
            const bool marked = protect && protect[size_t(y) * size_t(photoWidth_) + size_t(x)];
            uint8_t& state = row[cx];
            const bool counted = Counts(state);
            state = uint8_t(marked ? state | kProtected : state & ~kProtected);
            if (Counts(state) == counted) continue;
            const int change = counted ? -1 : 1;
            counting_ += change;
            if (state & kCovered) covered_ += change;
        }
    }
}

void mtxCoverageMask::Stamp(const float corner[3][2], const float u[2], const float v[2],
                            const uint8_t* alpha, int width, int height, float alphaScale) {
    if (state_.empty() || !alpha || width <= 0 || height <= 0 || !(alphaScale > 0)) return;
    // The quad is the parallelogram P = A + s (B - A) + t (C - A), 0 <= s, t < 1.
    double ax = corner[0][0], ay = corner[0][1];
    double ex = corner[1][0] - ax, ey = corner[1][1] - ay;  // along s
    double fx = corner[2][0] - ax, fy = corner[2][1] - ay;  // along t
    double det = ex * fy - ey * fx;
    if (!(std::fabs(det) > 1e-9)) return;
    double dx = corner[1][0] + fx, dy = corner[1][1] + fy;  // the fourth corner
    double left = std::min({ax, double(corner[1][0]), double(corner[2][0]), dx});
    double right = std::max({ax, double(corner[1][0]), double(corner[2][0]), dx});
    double top = std::min({ay, double(corner[1][1]), double(corner[2][1]), dy});
    double bottom = std::max({ay, double(corner[1][1]), double(corner[2][1]), dy});
    // Cells whose centre (cx x cell + cell / 2) can fall inside.
    auto first = [this](double p) {
        return int(std::max(0.0, std::ceil((p - cell_ / 2) / cell_)));
    };
    auto last = [this](double p, int limit) {
        return int(std::min(double(limit - 1), std::floor((p - cell_ / 2) / cell_)));
    };
    if (!(right >= 0 && bottom >= 0 && left < width_ * double(cell_) &&
          top < height_ * double(cell_)))
        return;
    int x0 = first(left), x1 = last(right, width_), y0 = first(top), y1 = last(bottom, height_);
    // Alpha at least one half after the factor: 255 x factor x a >= 127.5.
    double threshold = 127.5 / alphaScale;
    for (int cy = y0; cy <= y1; ++cy) {
        double py = cy * cell_ + cell_ / 2 - ay;
        uint8_t* row = &state_[size_t(cy) * size_t(width_)];
        for (int cx = x0; cx <= x1; ++cx) {
            // Protected cells are tested too: a mark taken back counts what lies there.
            if ((row[cx] & (kOpaque | kCovered)) != kOpaque) continue;
            double px = cx * cell_ + cell_ / 2 - ax;
            double s = (px * fy - py * fx) / det;
            double t = (ex * py - ey * px) / det;
            if (s < 0 || s >= 1 || t < 0 || t >= 1) continue;
            double tu = u[0] + s * (u[1] - u[0]), tv = v[0] + t * (v[1] - v[0]);
            int tx = std::clamp(int(tu * width), 0, width - 1);
            int ty = std::clamp(int(tv * height), 0, height - 1);
            if (alpha[size_t(ty) * size_t(width) + size_t(tx)] >= threshold) {
                row[cx] |= kCovered;
                if (Counts(row[cx])) ++covered_;
            }
        }
    }
}

double mtxCoverageMask::Coverage() const {
    return counting_ ? double(covered_) / double(counting_) : 0.0;
}
