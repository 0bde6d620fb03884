// Gaussian blur of an mtxImage: a horizontal pass into single-precision rows and
// a vertical pass back into the pixels. Each output lane is computed as
// w0 p + sum w[i] (p[-i] + p[+i]) in exactly that order, so the vector loops give
// the same bits as a plain scalar loop. Only 2n - 1 horizontally blurred rows are
// kept (a ring), which stays in cache for the vertical pass.
#include "image/blur.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/image.h"
#include "image/simd.h"

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

#pragma GCC diagnostic ignored "-Wpsabi"

namespace mtxBlur {

int Weights(float sigma, float weights[kMaxTaps]) {
    if (!(sigma >= 0.01f)) sigma = 0.01f;
    float taps = std::ceil(4.0f * sigma) + 1.0f;
    int n = taps > float(kMaxTaps) ? kMaxTaps : int(taps);
    const float norm = std::sqrt(6.2831855f) * sigma;
    for (int i = 0; i < n; ++i) {
        float t = float(i) / sigma;
        weights[i] = std::exp(-0.5f * (t * t)) / norm;
    }
    return n;
}

}  // namespace mtxBlur

namespace {

typedef float F8 __attribute__((vector_size(32)));
typedef int32_t I8 __attribute__((vector_size(32)));
typedef uint8_t U8 __attribute__((vector_size(8)));
typedef uint8_t U32 __attribute__((vector_size(32)));

MTX_INLINE F8 Load(const float* p) {
    F8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
MTX_INLINE void Store(float* p, F8 v) {
    std::memcpy(p, &v, sizeof v);
}

// Rounds to nearest, ties to even (adding 1.5 x 2^23 leaves the integer in the
// low mantissa bits), then clamps to 0..255.
MTX_INLINE U8 FloatsToBytes(F8 v) {
    F8 t = v + 12582912.0f;
    I8 i;
    std::memcpy(&i, &t, sizeof i);
    i -= 0x4B400000;
    i = i < 0 ? 0 : i;
    i = i > 255 ? 255 : i;
    U32 bytes;
    std::memcpy(&bytes, &i, sizeof bytes);
    return __builtin_shufflevector(bytes, bytes, 0, 4, 8, 12, 16, 20, 24, 28);
}

#if defined(__SSE2__)
// The same with SSE2 only, which has no byte shuffle: convert with the default
// rounding (nearest, ties to even), then pack with saturation to 0..255.
MTX_INLINE U8 FloatsToBytesSse2(F8 v) {
    typedef float F4 __attribute__((vector_size(16)));
    F4 lo = __builtin_shufflevector(v, v, 0, 1, 2, 3),
       hi = __builtin_shufflevector(v, v, 4, 5, 6, 7);
    __m128i a = _mm_cvtps_epi32(__m128(lo)), b = _mm_cvtps_epi32(__m128(hi));
    __m128i packed = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_setzero_si128());
    U8 out;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&out), packed);
    return out;
}
#endif

// Byte packing for the path being compiled: kWide is the AVX2 path.
template <bool kWide>
MTX_INLINE U8 PackBytes(F8 v) {
#if defined(__SSE2__)
    if (!kWide) return FloatsToBytesSse2(v);
#endif
    return FloatsToBytes(v);
}

// Pixel bytes to floats, two pixels at a time where the instruction set allows.
MTX_INLINE void BytesToFloatsScalar(const uint8_t* p, float* out, int pixels) {
    for (int k = 0; k < 4 * pixels; ++k) out[k] = float(p[k]);
}

// One source row as floats, with n - 1 copies of the edge pixels on either side.
MTX_INLINE void PadEdges(int width, int n, float* pad) {
    float* mid = pad + 4 * (n - 1);
    for (int i = 1; i < n; ++i)
        for (int c = 0; c < 4; ++c) {
            mid[-4 * i + c] = mid[c];
            mid[4 * (width - 1 + i) + c] = mid[4 * (width - 1) + c];
        }
}

void PadRowPortable(const mtxColor* src, int width, int n, float* pad) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(src);
    float* mid = pad + 4 * (n - 1);
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; x + 2 <= width; x += 2) {
        __m128i b = _mm_unpacklo_epi8(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + 4 * x)), zero);
        _mm_storeu_ps(mid + 4 * x, _mm_cvtepi32_ps(_mm_unpacklo_epi16(b, zero)));
        _mm_storeu_ps(mid + 4 * x + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(b, zero)));
    }
#endif
    BytesToFloatsScalar(bytes + 4 * x, mid + 4 * x, width - x);
    PadEdges(width, n, pad);
}

#if MTX_HAVE_AVX2_PATH
MTX_TARGET_AVX2 void PadRowAvx2(const mtxColor* src, int width, int n, float* pad) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(src);
    float* mid = pad + 4 * (n - 1);
    int x = 0;
    for (; x + 2 <= width; x += 2) {
        __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + 4 * x));
        _mm256_storeu_ps(mid + 4 * x, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(b)));
    }
    BytesToFloatsScalar(bytes + 4 * x, mid + 4 * x, width - x);
    PadEdges(width, n, pad);
}
#endif

// One padded row of floats blurred horizontally into out. N taps
// known at compile time (unrolled), or N = 0 for n taps at run time. Weights are
// copied to locals so the stores cannot be taken to change them.
template <int N>
MTX_INLINE void HorizontalRow(int width, const float* pad, float* out, const float* weights,
                              int n) {
    constexpr int kLocal = N > 0 ? N : mtxBlur::kMaxTaps;
    const int taps = N > 0 ? N : n;
    float w[kLocal];
    for (int i = 0; i < taps; ++i) w[i] = weights[i];
    const float* centre = pad + 4 * (taps - 1);
    const int floats = 4 * width;
    for (int j = 0; j < floats; j += 8) {
        const float* p = centre + j;
        F8 acc = w[0] * Load(p);
        for (int i = 1; i < taps; ++i) acc += w[i] * (Load(p - 4 * i) + Load(p + 4 * i));
        Store(out + j, acc);
    }
}

template <int N, bool kWide>
MTX_INLINE void VerticalRow(const float* const* rowTable, mtxColor* dst, int width,
                            const float* weights, int n) {
    constexpr int kLocal = N > 0 ? N : mtxBlur::kMaxTaps;
    const int taps = N > 0 ? N : n;
    float w[kLocal];
    const float* above[kLocal];  // above[i]: i rows up; above[0] the centre
    const float* below[kLocal];
    for (int i = 0; i < taps; ++i) {
        w[i] = weights[i];
        above[i] = rowTable[taps - 1 - i];
        below[i] = rowTable[taps - 1 + i];
    }
    uint8_t* out = reinterpret_cast<uint8_t*>(dst);
    int x = 0;
    for (; x + 2 <= width; x += 2) {
        const int j = 4 * x;
        F8 acc = w[0] * Load(above[0] + j);
        for (int i = 1; i < taps; ++i) acc += w[i] * (Load(above[i] + j) + Load(below[i] + j));
        U8 bytes = PackBytes<kWide>(acc);
        std::memcpy(out + j, &bytes, 8);
    }
    if (x < width) {
        const int j = 4 * x;
        F8 acc = w[0] * Load(above[0] + j);
        for (int i = 1; i < taps; ++i) acc += w[i] * (Load(above[i] + j) + Load(below[i] + j));
        U8 bytes = PackBytes<kWide>(acc);
        std::memcpy(out + j, &bytes, 4);
    }
}

using HorizontalFn = void (*)(const mtxColor*, int, float*, float*, const float*, int);
using VerticalFn = void (*)(const float* const*, mtxColor*, int, const float*, int);

template <int N>
void HorizontalPortable(const mtxColor* src, int width, float* pad, float* out, const float* w,
                        int n) {
    PadRowPortable(src, width, N > 0 ? N : n, pad);
    HorizontalRow<N>(width, pad, out, w, n);
}
template <int N>
void VerticalPortable(const float* const* rows, mtxColor* dst, int width, const float* w, int n) {
    VerticalRow<N, false>(rows, dst, width, w, n);
}
#if MTX_HAVE_AVX2_PATH
template <int N>
MTX_TARGET_AVX2 void HorizontalAvx2(const mtxColor* src, int width, float* pad, float* out,
                                    const float* w, int n) {
    PadRowAvx2(src, width, N > 0 ? N : n, pad);
    HorizontalRow<N>(width, pad, out, w, n);
}
template <int N>
MTX_TARGET_AVX2 void VerticalAvx2(const float* const* rows, mtxColor* dst, int width,
                                  const float* w, int n) {
    VerticalRow<N, true>(rows, dst, width, w, n);
}
#endif

struct Passes {
    HorizontalFn horizontal;
    VerticalFn vertical;
};

template <int N>
Passes PassesFor(bool avx2) {
#if MTX_HAVE_AVX2_PATH
    if (avx2) return {HorizontalAvx2<N>, VerticalAvx2<N>};
#endif
    (void)avx2;
    return {HorizontalPortable<N>, VerticalPortable<N>};
}

// Unrolled loops for the common small tap counts (sigma up to 2).
Passes ChoosePasses(int n) {
    bool avx2 = mtxSimd::Active() == mtxSimd::Level::kAvx2;
    switch (n) {
        case 2:
            return PassesFor<2>(avx2);
        case 3:
            return PassesFor<3>(avx2);
        case 4:
            return PassesFor<4>(avx2);
        case 5:
            return PassesFor<5>(avx2);
        case 6:
            return PassesFor<6>(avx2);
        case 7:
            return PassesFor<7>(avx2);
        case 8:
            return PassesFor<8>(avx2);
        case 9:
            return PassesFor<9>(avx2);
        default:
            return PassesFor<0>(avx2);
    }
}

struct FloatBuffer {
    explicit FloatBuffer(size_t count) {
        size_t bytes = (count * sizeof(float) + 63) & ~size_t(63);
        data = static_cast<float*>(std::aligned_alloc(64, bytes));
        if (data) std::memset(data, 0, bytes);
    }
    ~FloatBuffer() { std::free(data); }
    float* data;
};

// Rows first..last-1 of source blurred into the same rows of dst (which may be
// source itself when first is 0 and last the height: each row is read before
// it is written). Rows beyond the picture repeat its edge rows. 0 when the
// buffers cannot be had.
bool BlurRows(const mtxImage& source, mtxImage& dst, float sigma, int first, int last) {
    const int width = source.width, height = source.height;
    float w[mtxBlur::kMaxTaps];
    const int n = mtxBlur::Weights(sigma, w);
    const Passes passes = ChoosePasses(n);

    // Rows are processed two pixels (8 floats) at a time: every buffer has room
    // for one extra pixel beyond the row.
    const size_t rowFloats = size_t(width) * 4;
    const size_t stride = (rowFloats + 8 + 15) & ~size_t(15);
    const size_t padFloats = rowFloats + 8 * size_t(n) + 8;
    const int slots = 2 * n - 1;
    FloatBuffer pad(padFloats), ring(stride * size_t(slots));
    if (!pad.data || !ring.data) return false;

    const float* rows[2 * mtxBlur::kMaxTaps];
    auto slot = [&](int row) { return ring.data + stride * size_t(row % slots); };
    int done = std::max(0, first - (n - 1)) - 1;  // last source row blurred horizontally
    for (int y = first; y < last; ++y) {
        const int need = std::min(y + n - 1, height - 1);
        while (done < need) {
            ++done;
            passes.horizontal(source.Row(done), width, pad.data, slot(done), w, n);
        }
        for (int i = -(n - 1); i <= n - 1; ++i)
            rows[i + n - 1] = slot(std::clamp(y + i, 0, height - 1));
        passes.vertical(rows, dst.Row(y), width, w, n);
    }
    return true;
}

}  // namespace

void mtxImage::Blur(float sigma) {
    if (width <= 0 || height <= 0) return;
    mtxFieldLock<mtxImage> lock(*this);
    if (!lock || !data) return;
    BlurRows(*this, *this, sigma, 0, height);  // FIXME: no way to report a failed allocation
}

int mtxImage::BlurRowsOf(const mtxImage& source, float sigma, int first, int last) {
    if (source.width != width || source.height != height || !source.data || !data) return 0;
    first = std::max(first, 0), last = std::min(last, height);
    if (first >= last) return 1;
    return BlurRows(source, *this, sigma, first, last) ? 1 : 0;
}
