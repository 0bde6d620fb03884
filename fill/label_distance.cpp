#include "fill/label_distance.h"

#include <algorithm>

#include "image/simd.h"
#if MTX_HAVE_AVX2_PATH
#include <immintrin.h>
#endif

namespace {

// The value a neighbour offers: its own running value when it shares the label, else that of a
// source (0), plus the step to it.
inline int32_t Offer(int32_t d, uint32_t label, uint32_t neighbourLabel, int32_t neighbourValue,
                     int32_t step) {
    int32_t v = (neighbourLabel == label ? neighbourValue : 0) + step;
    return v < d ? v : d;
}

// A pixel's value lowered by the offers of the two rows behind the sweep (above it forward, below
// it backward; null outside the picture). That part of the mask is symmetric, so one function
// serves both sweeps; the offer of the pixel before in the row comes after, in InRow. kChecked
// tests every neighbour against the picture's sides; without it the caller guarantees x - 2 >= 0
// and x + 2 < width.
template <bool kChecked>
inline int32_t Behind(int64_t x, int64_t width, int32_t d, uint32_t label, const uint32_t* l1,
                      const int32_t* d1, const uint32_t* l2, const int32_t* d2,
                      mcvLabelDistance::Weights w) {
    auto in = [&](int64_t i) { return !kChecked || (i >= 0 && i < width); };
    if (l1) {
        d = Offer(d, label, l1[x], d1[x], w.a);
        if (in(x - 1)) d = Offer(d, label, l1[x - 1], d1[x - 1], w.b);
        if (in(x + 1)) d = Offer(d, label, l1[x + 1], d1[x + 1], w.b);
        if (in(x - 2)) d = Offer(d, label, l1[x - 2], d1[x - 2], w.c);
        if (in(x + 2)) d = Offer(d, label, l1[x + 2], d1[x + 2], w.c);
    }
    if (l2) {
        if (in(x - 1)) d = Offer(d, label, l2[x - 1], d2[x - 1], w.c);
        if (in(x + 1)) d = Offer(d, label, l2[x + 1], d2[x + 1], w.c);
    }
    return d;
}

#if MTX_HAVE_AVX2_PATH
MTX_TARGET_AVX2 MTX_INLINE __m256i OfferAvx2(__m256i d, __m256i label, const uint32_t* l,
                                             const int32_t* v, __m256i step) {
    __m256i same =
        _mm256_cmpeq_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(l)), label);
    __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v));
    return _mm256_min_epi32(d, _mm256_add_epi32(_mm256_and_si256(same, value), step));
}

// Behind<false> for eight pixels at a time from x while they end before end, with both rows
// behind in the picture. Returns the first pixel not done.
MTX_TARGET_AVX2 int64_t BehindAvx2(int64_t x, int64_t end, const uint32_t* l0, int32_t* d0,
                                   const uint32_t* l1, const int32_t* d1, const uint32_t* l2,
                                   const int32_t* d2, mcvLabelDistance::Weights w) {
    const __m256i a = _mm256_set1_epi32(w.a), b = _mm256_set1_epi32(w.b),
                  c = _mm256_set1_epi32(w.c);
    for (; x + 8 <= end; x += 8) {
        __m256i label = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(l0 + x));
        __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d0 + x));
        d = OfferAvx2(d, label, l1 + x, d1 + x, a);
        d = OfferAvx2(d, label, l1 + x - 1, d1 + x - 1, b);
        d = OfferAvx2(d, label, l1 + x + 1, d1 + x + 1, b);
        d = OfferAvx2(d, label, l1 + x - 2, d1 + x - 2, c);
        d = OfferAvx2(d, label, l1 + x + 2, d1 + x + 2, c);
        d = OfferAvx2(d, label, l2 + x - 1, d2 + x - 1, c);
        d = OfferAvx2(d, label, l2 + x + 1, d2 + x + 1, c);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d0 + x), d);
    }
    return x;
}
#endif

// The first pass of a sweep over columns first..last-1 of a row: each pixel's value (its start in
// d0) lowered by the rows behind. No pixel reads another of its row, so the interior runs eight
// pixels at a time where the processor can.
void BehindSpan(int64_t first, int64_t last, int64_t width, const uint32_t* l0, int32_t* d0,
                const uint32_t* l1, const int32_t* d1, const uint32_t* l2, const int32_t* d2,
                mcvLabelDistance::Weights w) {
    int64_t x = first, interiorEnd = std::min(last, width - 2);
    for (; x < last && x < 2; ++x) d0[x] = Behind<true>(x, width, d0[x], l0[x], l1, d1, l2, d2, w);
#if MTX_HAVE_AVX2_PATH
    if (l1 && l2 && mtxSimd::Active() == mtxSimd::Level::kAvx2)
        x = BehindAvx2(x, interiorEnd, l0, d0, l1, d1, l2, d2, w);
#endif
    for (; x < interiorEnd; ++x) d0[x] = Behind<false>(x, width, d0[x], l0[x], l1, d1, l2, d2, w);
    for (; x < last; ++x) d0[x] = Behind<true>(x, width, d0[x], l0[x], l1, d1, l2, d2, w);
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

// A pixel's offers are all lower bounds taken by their minimum, exact in integers, so the rows
// behind may be taken first for the whole span and the pixel before in the row after.
void mcvLabelDistance::ForwardSpan(uint32_t y, uint32_t first, uint32_t last) {
    const uint32_t* l0 = Labels(y);
    int32_t* d0 = Work(y);
    const uint32_t* l1 = y >= 1 ? Labels(y - 1) : nullptr;
    const int32_t* d1 = y >= 1 ? Work(y - 1) : nullptr;
    const uint32_t* l2 = y >= 2 ? Labels(y - 2) : nullptr;
    const int32_t* d2 = y >= 2 ? Work(y - 2) : nullptr;
    std::fill(d0 + first, d0 + last, kFar);
    BehindSpan(first, last, width_, l0, d0, l1, d1, l2, d2, w_);
    for (int64_t x = std::max<int64_t>(first, 1); x < int64_t(last); ++x)
        d0[x] = Offer(d0[x], l0[x], l0[x - 1], d0[x - 1], w_.a);
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
    BehindSpan(first, last, width_, l0, d0, l1, d1, l2, d2, w_);
    for (int64_t x = std::min<int64_t>(last, width_ - 1) - 1; x >= int64_t(first); --x)
        d0[x] = Offer(d0[x], l0[x], l0[x + 1], d0[x + 1], w_.a);
    // Scaling by a power of two is exact, so this is the fixed-point value x 2^-18 rounded once.
    for (int64_t x = first; x < int64_t(last); ++x) out[x] = float(d0[x]) * (1.0f / 262144.0f);
}
