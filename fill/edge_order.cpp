#include "fill/edge_order.h"

#include <algorithm>

void mcvEdgeOrder::Begin(const uint32_t* pixels, uint32_t width, uint32_t height, int32_t pitch,
                         uint32_t bands) {
    pixels_ = pixels;
    width_ = width;
    height_ = height;
    pitch_ = pitch;
    step_[kRight] = 1;
    step_[kDown] = width;
    step_[kDownRight] = width + 1;
    step_[kUpRight] = 1 - width;  // wraps; adding it to a pixel number below row 0 never happens
    edgeCount_ = 0;
    edges_.reset();
    buckets_.reset(new uint32_t[kKeys]());
    bands_ = std::max(1u, std::min(bands, height));
    bandFirst_.reset(new uint32_t[bands_ + 1]);
    for (uint32_t b = 0; b <= bands_; ++b)
        bandFirst_[b] = uint32_t(uint64_t(height) * b / bands_) * width;
    bandEnds_.reset(bands_ > 1 ? new uint32_t[size_t(bands_) * kKeys]() : nullptr);
}

void mcvEdgeOrder::Release() {
    buckets_.reset();
    bandEnds_.reset();
    edges_.reset();
    edgeCount_ = 0;
}

uint32_t mcvEdgeOrder::Count(uint32_t first, uint32_t last, uint32_t band) {
    return Sweep<false>(first, last, band);
}

void mcvEdgeOrder::Prepare(uint32_t edgeCount) {
    uint32_t start = 0;
    if (bands_ == 1) {
        for (uint32_t k = 0; k < kKeys; ++k) {
            uint32_t n = buckets_[k];
            buckets_[k] = start;
            start += n;
        }
    } else {
        // Each band's share of a bucket follows the shares of the bands above it; the bucket
        // table holds the ends at once, as the bands' cursors move instead.
        for (uint32_t k = 0; k < kKeys; ++k) {
            for (uint32_t b = 0; b < bands_; ++b) {
                uint32_t& entry = bandEnds_[size_t(b) * kKeys + k];
                uint32_t n = entry;
                entry = start;
                start += n;
            }
            buckets_[k] = start;
        }
    }
    edgeCount_ = edgeCount;
    edges_.allocate(edgeCount);
}

void mcvEdgeOrder::Scatter(uint32_t first, uint32_t last, uint32_t band) {
    Sweep<true>(first, last, band);
}

uint32_t mcvEdgeOrder::KeyAt(uint32_t i) const {
    return uint32_t(std::upper_bound(buckets_.get(), buckets_.get() + kKeys, i) - buckets_.get());
}

// Visits the edges of pixels first..last-1 in build order: pixels row by row, and for each pixel
// its right, down, down-right and up-right edges where the neighbour lies inside the picture.
template <bool kScatter>
uint32_t mcvEdgeOrder::Sweep(uint32_t first, uint32_t last, uint32_t band) {
    uint32_t* buckets = bands_ == 1 ? buckets_.get() : bandEnds_.get() + size_t(band) * kKeys;
    uint32_t* edges = edges_.get();
    uint32_t n = 0;
    auto emit = [&](uint32_t key, uint32_t id) {
        if constexpr (kScatter) {
            edges[buckets[key]++] = id;
        } else {
            ++buckets[key];
        }
        ++n;
    };
    uint32_t p = first;
    while (p < last) {
        uint32_t y = p / width_, x = p % width_;
        uint32_t end = std::min<uint64_t>(width_, uint64_t(x) + (last - p));
        const uint32_t* row = Row(y);
        const uint32_t* below = y + 1 < height_ ? Row(y + 1) : nullptr;
        const uint32_t* above = y > 0 ? Row(y - 1) : nullptr;
        uint32_t inner = std::min(end, width_ - 1);  // pixels that have a right neighbour
        if (below && above) {
            // Rows with a neighbour above and below: every pixel but the last has all four edges.
            for (; x < inner; ++x, ++p) {
                uint32_t c = row[x], id = p * 4;
                emit(Key(c, row[x + 1]), id + kRight);
                emit(Key(c, below[x]), id + kDown);
                emit(Key(c, below[x + 1]), id + kDownRight);
                emit(Key(c, above[x + 1]), id + kUpRight);
            }
        }
        for (; x < end; ++x, ++p) {
            uint32_t c = row[x], id = p * 4;
            bool right = x + 1 < width_;
            if (right) emit(Key(c, row[x + 1]), id + kRight);
            if (below) {
                emit(Key(c, below[x]), id + kDown);
                if (right) emit(Key(c, below[x + 1]), id + kDownRight);
            }
            if (above && right) emit(Key(c, above[x + 1]), id + kUpRight);
        }
    }
    return n;
}
