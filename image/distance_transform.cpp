// Chamfer distance transform (Borgefors 1986): a forward raster pass with the
// upper half of the mask and a backward pass with the lower half. Each row is
// done in two steps: the neighbours in the rows already finished are combined
// for the whole row at once (independent per pixel, so vectorised), then the
// left (or right) neighbour is folded in by a running minimum. The work area has
// two rows and columns of kFar around the picture; kFar plus any weight is never
// below a value it is compared with, so the border acts as "skip outside
// neighbours" without tests in the loops.
#include "image/distance_transform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image/simd.h"

namespace {

constexpr int kPad = mtxDistanceTransform::kPad;

struct Weights {
    int32_t a, b, c;
};

MTX_INLINE int32_t Min(int32_t x, int32_t y) { return x < y ? x : y; }

// Forward step for one row: d = min(d, up-row terms), then the running minimum
// from the left. up1, up2: the rows above (padded). C: 5 x 5 mask.
template <bool C>
MTX_INLINE void ForwardRow(int32_t* __restrict d, const int32_t* __restrict up1,
                           const int32_t* __restrict up2, int width, Weights w) {
    for (int x = 0; x < width; ++x) {
        int32_t v = d[x];
        v = Min(v, up1[x - 1] + w.b);
        v = Min(v, up1[x] + w.a);
        v = Min(v, up1[x + 1] + w.b);
        if (C) {
            v = Min(v, up1[x - 2] + w.c);
            v = Min(v, up1[x + 2] + w.c);
            v = Min(v, up2[x - 1] + w.c);
            v = Min(v, up2[x + 1] + w.c);
        }
        d[x] = v;
    }
    int32_t left = d[-1];
    for (int x = 0; x < width; ++x) left = d[x] = Min(d[x], left + w.a);
}

template <bool C>
MTX_INLINE void BackwardRow(int32_t* __restrict d, const int32_t* __restrict dn1,
                            const int32_t* __restrict dn2, int width, Weights w) {
    for (int x = 0; x < width; ++x) {
        int32_t v = d[x];
        v = Min(v, dn1[x + 1] + w.b);
        v = Min(v, dn1[x] + w.a);
        v = Min(v, dn1[x - 1] + w.b);
        if (C) {
            v = Min(v, dn1[x + 2] + w.c);
            v = Min(v, dn1[x - 2] + w.c);
            v = Min(v, dn2[x + 1] + w.c);
            v = Min(v, dn2[x - 1] + w.c);
        }
        d[x] = v;
    }
    int32_t right = d[width];
    for (int x = width - 1; x >= 0; --x) right = d[x] = Min(d[x], right + w.a);
}

// work points at pixel (0, 0) of a padded area with the given stride.
template <bool C>
MTX_INLINE void Passes(int32_t* work, ptrdiff_t stride, int width, int height, Weights w) {
    for (int y = 0; y < height; ++y) {
        int32_t* row = work + y * stride;
        ForwardRow<C>(row, row - stride, row - 2 * stride, width, w);
    }
    for (int y = height - 1; y >= 0; --y) {
        int32_t* row = work + y * stride;
        BackwardRow<C>(row, row + stride, row + 2 * stride, width, w);
    }
}

template <bool C>
void PassesPortable(int32_t* work, ptrdiff_t stride, int width, int height, Weights w) {
    Passes<C>(work, stride, width, height, w);
}
#if MTX_HAVE_AVX2_PATH
template <bool C>
MTX_TARGET_AVX2 void PassesAvx2(int32_t* work, ptrdiff_t stride, int width, int height, Weights w) {
    Passes<C>(work, stride, width, height, w);
}
#endif

// 2^-18 is a power of two, so the scaling itself is exact.
MTX_INLINE void ToDistances(const int32_t* src, float* dst, int width) {
    for (int x = 0; x < width; ++x) dst[x] = float(src[x]) * 3.814697265625e-6f;
}
void ToDistancesPortable(const int32_t* src, float* dst, int width) { ToDistances(src, dst, width); }
#if MTX_HAVE_AVX2_PATH
MTX_TARGET_AVX2 void ToDistancesAvx2(const int32_t* src, float* dst, int width) {
    ToDistances(src, dst, width);
}
#endif

bool UseAvx2() { return mtxSimd::Active() == mtxSimd::Level::kAvx2; }

int32_t Fixed(float weight) { return int32_t(std::lrintf(weight * 262144.0f)); }

// The padded work area: kPad rows and columns of kFar around width x height.
struct WorkArea {
    WorkArea(int width, int height)
        : stride(size_t(width) + 2 * kPad), rows(size_t(height) + 2 * kPad) {
        if (stride * rows > SIZE_MAX / sizeof(int32_t) / 2) return;
        base = static_cast<int32_t*>(std::malloc(stride * rows * sizeof(int32_t)));
        if (!base) return;
        std::fill(base, base + stride * rows, mtxDistanceTransform::kFar);
    }
    ~WorkArea() { std::free(base); }
    int32_t* Pixel(int x, int y) { return base + (size_t(y) + kPad) * stride + kPad + x; }

    size_t stride, rows;
    int32_t* base = nullptr;
};

}  // namespace

mtxDistanceTransform::mtxDistanceTransform() : type(kChamfer), weights{}, maskSize(5) {
    SetType(kChamfer);
}

int mtxDistanceTransform::SetType(uint32_t newType) {
    if (newType > kChessboard) return 0;
    type = newType;
    std::fill(std::begin(weights), std::end(weights), 0.0f);
    if (type == kChessboard) {
        maskSize = 3;
        weights[0] = 1.0f, weights[1] = 1.0f;
    } else if (type == kCityBlock) {
        maskSize = 3;
        weights[0] = 1.0f, weights[1] = 2.0f;
    } else if (maskSize == 3) {
        weights[0] = 0.955f, weights[1] = 1.3693f;
    } else if (maskSize == 5) {
        weights[0] = 1.0f, weights[1] = 1.4f, weights[2] = 2.1969f;
    }
    return 1;
}

void mtxDistanceTransform::FixedWeights(int32_t out[3]) const {
    for (int i = 0; i < 3; ++i) out[i] = Fixed(weights[i]);
}

void mtxDistanceTransform::Transform(int32_t* work, int width, int height) const {
    if (width <= 0 || height <= 0) return;
    int32_t f[3];
    FixedWeights(f);
    const Weights w{f[0], f[1], f[2]};
    const ptrdiff_t stride = ptrdiff_t(width) + 2 * kPad;
    const bool five = maskSize == 5;
#if MTX_HAVE_AVX2_PATH
    if (UseAvx2()) {
        five ? PassesAvx2<true>(work, stride, width, height, w)
             : PassesAvx2<false>(work, stride, width, height, w);
        return;
    }
#endif
    five ? PassesPortable<true>(work, stride, width, height, w)
         : PassesPortable<false>(work, stride, width, height, w);
}

template <class Predicate>
int mtxDistanceTransform::Run(mtxImage& image, mtxFloatField& field, Predicate inMask) const {
    if (maskSize != 3 && maskSize != 5) return 0;
    mtxFieldLock<mtxImage> lock(image);
    if (!lock) return 0;
    const int width = image.data ? image.width : 0, height = image.data ? image.height : 0;
    if (field.width != width || field.height != height || !field.data) {
        field.Free();
        if (!field.Create(width, height, 0.0f)) return 0;
    }
    if (width <= 0 || height <= 0) return 1;
    WorkArea area(width, height);
    if (!area.base) return 0;
    for (int y = 0; y < height; ++y) {
        const mtxColor* src = image.Row(y);
        int32_t* dst = area.Pixel(0, y);
        for (int x = 0; x < width; ++x) dst[x] = inMask(src[x]) ? kFar : 0;
    }
    Transform(area.Pixel(0, 0), width, height);
    for (int y = 0; y < height; ++y) {
#if MTX_HAVE_AVX2_PATH
        if (UseAvx2()) {
            ToDistancesAvx2(area.Pixel(0, y), field.Row(y), width);
            continue;
        }
#endif
        ToDistancesPortable(area.Pixel(0, y), field.Row(y), width);
    }
    return 1;
}

int mtxDistanceTransform::FromAlpha(mtxImage& image, mtxFloatField& field) const {
    return Run(image, field, [](mtxColor c) { return (c >> 24) > 100; });
}

int mtxDistanceTransform::FromColour(mtxImage& image, mtxColor colour, mtxFloatField& field) const {
    return Run(image, field, [colour](mtxColor c) { return c == colour; });
}
