#include "fill/label_distance.h"

namespace {

// The value a neighbour offers: its own running value when it shares the label, else that of a
// source (0), plus the step to it.
inline int32_t Offer(int32_t d, uint32_t label, uint32_t neighbourLabel, int32_t neighbourValue,
                     int32_t step) {
    int32_t v = (neighbourLabel == label ? neighbourValue : 0) + step;
    return v < d ? v : d;
}

// One pixel of a sweep. The rows r1 and r2 lie one and two rows back in the sweep's direction
// (above for the forward sweep, below for the backward one) and are null outside the picture;
// s is +1 forward and -1 backward, mirroring the mask. kChecked tests every neighbour against the
// picture's sides; without it the caller guarantees x - 2 >= 0 and x + 2 < width.
template <bool kChecked>
inline int32_t Pixel(int64_t x, int64_t width, int s, int32_t d, const uint32_t* l0,
                     const int32_t* d0, const uint32_t* l1, const int32_t* d1, const uint32_t* l2,
                     const int32_t* d2, mcvLabelDistance::Weights w) {
    auto in = [&](int64_t i) { return !kChecked || (i >= 0 && i < width); };
    uint32_t label = l0[x];
    if (in(x - s)) d = Offer(d, label, l0[x - s], d0[x - s], w.a);
    if (l1) {
        d = Offer(d, label, l1[x], d1[x], w.a);
        if (in(x - s)) d = Offer(d, label, l1[x - s], d1[x - s], w.b);
        if (in(x + s)) d = Offer(d, label, l1[x + s], d1[x + s], w.b);
        if (in(x - 2 * s)) d = Offer(d, label, l1[x - 2 * s], d1[x - 2 * s], w.c);
        if (in(x + 2 * s)) d = Offer(d, label, l1[x + 2 * s], d1[x + 2 * s], w.c);
    }
    if (l2) {
        if (in(x - s)) d = Offer(d, label, l2[x - s], d2[x - s], w.c);
        if (in(x + s)) d = Offer(d, label, l2[x + s], d2[x + s], w.c);
    }
    return d;
}

}  // namespace

mcvLabelDistance::mcvLabelDistance(const uint32_t* labels, int32_t labelPitch, int32_t* work,
                                   uint32_t width, uint32_t height, Weights weights)
    : labels_(labels),
      labelPitch_(labelPitch),
      work_(work),
      width_(width),
      height_(height),
      w_(weights) {}

void mcvLabelDistance::ForwardRow(uint32_t y) {
    ForwardSpan(y, 0, uint32_t(width_));
}

void mcvLabelDistance::ForwardSpan(uint32_t y, uint32_t first, uint32_t last) {
    const uint32_t* l0 = Labels(y);
    int32_t* d0 = Work(y);
    const uint32_t* l1 = y >= 1 ? Labels(y - 1) : nullptr;
    const int32_t* d1 = y >= 1 ? Work(y - 1) : nullptr;
    const uint32_t* l2 = y >= 2 ? Labels(y - 2) : nullptr;
    const int32_t* d2 = y >= 2 ? Work(y - 2) : nullptr;
    int64_t x = first, end = last;
    for (; x < end && x < 2; ++x)
        d0[x] = Pixel<true>(x, width_, 1, kFar, l0, d0, l1, d1, l2, d2, w_);
    for (; x < end && x + 2 < width_; ++x)
        d0[x] = Pixel<false>(x, width_, 1, kFar, l0, d0, l1, d1, l2, d2, w_);
    for (; x < end; ++x) d0[x] = Pixel<true>(x, width_, 1, kFar, l0, d0, l1, d1, l2, d2, w_);
}

void mcvLabelDistance::BackwardRow(uint32_t y, float* out) {
    BackwardSpan(y, 0, uint32_t(width_), out);
}

void mcvLabelDistance::BackwardSpan(uint32_t y, uint32_t first, uint32_t last, float* out) {
    const uint32_t* l0 = Labels(y);
    int32_t* d0 = Work(y);
    bool one = y + 1 < height_, two = y + 2 < height_;
    const uint32_t* l1 = one ? Labels(y + 1) : nullptr;
    const int32_t* d1 = one ? Work(y + 1) : nullptr;
    const uint32_t* l2 = two ? Labels(y + 2) : nullptr;
    const int32_t* d2 = two ? Work(y + 2) : nullptr;
    int64_t x = int64_t(last) - 1, end = first;
    for (; x >= end && x >= width_ - 2; --x)
        d0[x] = Pixel<true>(x, width_, -1, d0[x], l0, d0, l1, d1, l2, d2, w_);
    for (; x >= end && x >= 2; --x)
        d0[x] = Pixel<false>(x, width_, -1, d0[x], l0, d0, l1, d1, l2, d2, w_);
    for (; x >= end; --x) d0[x] = Pixel<true>(x, width_, -1, d0[x], l0, d0, l1, d1, l2, d2, w_);
    // Scaling by a power of two is exact, so this is the fixed-point value x 2^-18 rounded once.
    for (x = first; x < int64_t(last); ++x) out[x] = float(d0[x]) * (1.0f / 262144.0f);
}
