// Chamfer distance transform (Borgefors 1986): a forward raster pass with the
// upper half of the mask and a backward pass with the lower half. Each row is
// done in two steps: the neighbours in the rows already finished are combined
// for the whole row at once (independent per pixel, so vectorised), then the
// left (or right) neighbour is folded in by a running minimum.
//
// FromAlpha and FromColour work in the field's own memory: the mask is written
// as integers row by row just before the forward pass reaches it, and a row is
// turned into floats as soon as the backward pass no longer needs it, so a call
// allocates nothing of the picture's size and touches it only twice.
#include "image/distance_transform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/simd.h"

namespace {

// The field's floats are used as integers during the transform.
typedef int32_t __attribute__((may_alias)) AliasInt;
typedef float __attribute__((may_alias)) AliasFloat;

struct Weights {
    int32_t a, b, c;
};

MTX_INLINE int32_t Min(int32_t x, int32_t y) {
    return x < y ? x : y;
}

// d[x] lowered by the terms of the finished rows: near (one row away, or null)
// and far (two rows away, or null). dir is +1 for the forward pass (rows above,
// mask mirrored by -dir in x) and -1 for the backward pass.
template <bool C>
MTX_INLINE int32_t CheckedTerms(int x, int width, const AliasInt* d, const AliasInt* near,
                                const AliasInt* far, Weights w) {
    int32_t v = d[x];
    auto take = [&](const AliasInt* row, int dx, int32_t weight) {
        int q = x + dx;
        if (row && q >= 0 && q < width) v = Min(v, row[q] + weight);
    };
    take(near, -1, w.b);
    take(near, 0, w.a);
    take(near, 1, w.b);
    if (C) {
        take(near, -2, w.c);
        take(near, 2, w.c);
        take(far, -1, w.c);
        take(far, 1, w.c);
    }
    return v;
}

template <bool C>
MTX_INLINE void RowTerms(AliasInt* __restrict d, const AliasInt* __restrict near,
                         const AliasInt* __restrict far, int width, Weights w) {
    if (!near) return;
    // Columns 0, 1 and the last two reach outside the row with the 5 x 5 mask.
    const int edge = C ? 2 : 1;
    const int lo = std::min(edge, width), hi = std::max(lo, width - edge);
    for (int x = 0; x < lo; ++x) d[x] = CheckedTerms<C>(x, width, d, near, far, w);
    if (C && !far) {
        for (int x = lo; x < hi; ++x) d[x] = CheckedTerms<C>(x, width, d, near, far, w);
    } else {
        for (int x = lo; x < hi; ++x) {
            int32_t v = d[x];
            v = Min(v, near[x - 1] + w.b);
            v = Min(v, near[x] + w.a);
            v = Min(v, near[x + 1] + w.b);
            if (C) {
                v = Min(v, near[x - 2] + w.c);
                v = Min(v, near[x + 2] + w.c);
                v = Min(v, far[x - 1] + w.c);
                v = Min(v, far[x + 1] + w.c);
            }
            d[x] = v;
        }
    }
    for (int x = hi; x < width; ++x) d[x] = CheckedTerms<C>(x, width, d, near, far, w);
}

MTX_INLINE void ScanRight(AliasInt* d, int width, int32_t a) {
    int32_t left = mtxDistanceTransform::kFar;
    for (int x = 0; x < width; ++x) left = d[x] = Min(d[x], left + a);
}

MTX_INLINE void ScanLeft(AliasInt* d, int width, int32_t a) {
    int32_t right = mtxDistanceTransform::kFar;
    for (int x = width - 1; x >= 0; --x) right = d[x] = Min(d[x], right + a);
}

// 2^-18 is a power of two, so the scaling itself is exact.
MTX_INLINE void ToDistances(AliasInt* row, int width) {
    AliasFloat* out = reinterpret_cast<AliasFloat*>(row);
    for (int x = 0; x < width; ++x) out[x] = float(row[x]) * 3.814697265625e-6f;
}

// Marks one image row: kFar inside the mask, 0 for sources.
struct AlphaMask {
    MTX_INLINE void operator()(const mtxColor* src, AliasInt* d, int width) const {
        for (int x = 0; x < width; ++x)
            d[x] = (src[x] >> 24) > 100 ? mtxDistanceTransform::kFar : 0;
    }
};
struct ColourMask {
    mtxColor colour;
    MTX_INLINE void operator()(const mtxColor* src, AliasInt* d, int width) const {
        for (int x = 0; x < width; ++x) d[x] = src[x] == colour ? mtxDistanceTransform::kFar : 0;
    }
};
// Rows already hold their values.
struct NoMask {
    MTX_INLINE void operator()(const mtxColor*, AliasInt*, int) const {}
};

// Both passes over rows `stride` ints apart. mask fills row y from image row y
// before the forward pass reaches it; with convert, rows become floats once the
// backward pass is done with them.
template <bool C, class Mask>
MTX_INLINE void Passes(const mtxImage* image, Mask mask, AliasInt* base, ptrdiff_t stride,
                       int width, int height, Weights w, bool convert) {
    auto row = [&](int y) { return base + y * stride; };
    for (int y = 0; y < height; ++y) {
        AliasInt* d = row(y);
        if (image) mask(image->Row(y), d, width);
        RowTerms<C>(d, y >= 1 ? row(y - 1) : nullptr, y >= 2 ? row(y - 2) : nullptr, width, w);
        ScanRight(d, width, w.a);
    }
    for (int y = height - 1; y >= 0; --y) {
        AliasInt* d = row(y);
        RowTerms<C>(d, y + 1 < height ? row(y + 1) : nullptr, y + 2 < height ? row(y + 2) : nullptr,
                    width, w);
        ScanLeft(d, width, w.a);
        if (convert && y + 2 < height) ToDistances(row(y + 2), width);
    }
    if (convert)
        for (int y = std::min(height, 2) - 1; y >= 0; --y) ToDistances(row(y), width);
}

struct Job {
    const mtxImage* image;
    AliasInt* base;
    ptrdiff_t stride;
    int width, height;
    Weights w;
    bool five, convert;
};

template <class Mask>
MTX_INLINE void RunJob(const Job& j, Mask mask) {
    if (j.five)
        Passes<true>(j.image, mask, j.base, j.stride, j.width, j.height, j.w, j.convert);
    else
        Passes<false>(j.image, mask, j.base, j.stride, j.width, j.height, j.w, j.convert);
}

template <class Mask>
void RunPortable(const Job& j, Mask mask) {
    RunJob(j, mask);
}
#if MTX_HAVE_AVX2_PATH
template <class Mask>
MTX_TARGET_AVX2 void RunAvx2(const Job& j, Mask mask) {
    RunJob(j, mask);
}
#endif

template <class Mask>
void Dispatch(const Job& j, Mask mask) {
#if MTX_HAVE_AVX2_PATH
    if (mtxSimd::Active() == mtxSimd::Level::kAvx2) return RunAvx2(j, mask);
#endif
    RunPortable(j, mask);
}

int32_t Fixed(float weight) {
    return int32_t(std::lrintf(weight * 262144.0f));
}

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

void mtxDistanceTransform::Transform(int32_t* values, int width, int height,
                                     ptrdiff_t stride) const {
    if (width <= 0 || height <= 0) return;
    int32_t f[3];
    FixedWeights(f);
    Job job{nullptr, values, stride, width, height, {f[0], f[1], f[2]}, maskSize == 5, false};
    Dispatch(job, NoMask{});
}

template <class Predicate>
int mtxDistanceTransform::Run(mtxImage& image, mtxFloatField& field, Predicate mask) const {
    if (maskSize != 3 && maskSize != 5) return 0;
    mtxFieldLock<mtxImage> lock(image);
    if (!lock) return 0;
    const int width = image.data ? image.width : 0, height = image.data ? image.height : 0;
    if (field.width != width || field.height != height || !field.data) {
        field.Free();
        if (!field.Create(width, height, 0.0f)) return 0;
    }
    if (width <= 0 || height <= 0) return 1;
    mtxFieldLock<mtxFloatField> fieldLock(field);
    if (!fieldLock || field.pitch % 4 != 0) return 0;
    int32_t f[3];
    FixedWeights(f);
    Job job{&image,          reinterpret_cast<AliasInt*>(field.data),
            field.pitch / 4, width,
            height,          {f[0], f[1], f[2]},
            maskSize == 5,   true};
    Dispatch(job, mask);
    return 1;
}

int mtxDistanceTransform::FromAlpha(mtxImage& image, mtxFloatField& field) const {
    return Run(image, field, AlphaMask{});
}

int mtxDistanceTransform::FromColour(mtxImage& image, mtxColor colour, mtxFloatField& field) const {
    return Run(image, field, ColourMask{colour});
}
