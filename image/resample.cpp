// Affine resampling, box-filtered scaling, resizing and tiling of images.
#include "image/resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/pixel_lanes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct Rgba {
    float r, g, b, a;
};

constexpr float kInv255 = 1.0f / 255.0f;

inline Rgba ToFloats(mtxColor c) {
    return {float(mtxRed(c)) * kInv255, float(mtxGreen(c)) * kInv255, float(mtxBlue(c)) * kInv255,
            float(mtxAlpha(c)) * kInv255};
}

inline uint32_t ToByte(float v) {
    long i = std::lrintf(v * 255.0f);
    return uint32_t(i < 0 ? 0 : (i > 255 ? 255 : i));
}

inline mtxColor Pack(const Rgba& v) {
    return mtxArgb(ToByte(v.a), ToByte(v.r), ToByte(v.g), ToByte(v.b));
}

using F4 = mtxPixelLanes;

inline F4 Channels(mtxColor c) {
    return mtxToLanes(c);
}

// Channels back to a pixel: limited to 0..255, rounded to nearest (ties to even).
inline mtxColor PackChannels(F4 v) {
    mtxColor out = 0;
    for (int k = 0; k < 4; ++k) {
        long b = std::lrintf(std::clamp(v[k], 0.0f, 255.0f));
        out |= mtxColor(b) << (8 * k);
    }
    return out;
}

// Locks the destination and, when it is a different image, the source. When
// both are the same image the source is read from a copy taken first.
class Pair {
  public:
    Pair(mtxImage& source, mtxImage& destination) : dst_(destination) {
        dstLocked_ = dst_.Lock() != 0;
        if (&source == &destination) {
            if (dstLocked_) copy_.Assign(destination);
            src_ = &copy_;
            srcLocked_ = dstLocked_;
            ownsLock_ = false;
        } else {
            src_ = &source;
            srcLocked_ = source.Lock() != 0;
            ownsLock_ = true;
        }
    }
    ~Pair() {
        if (ownsLock_ && srcLocked_) src_->Unlock();
        if (dstLocked_) dst_.Unlock();
    }
    bool Ok() const { return dstLocked_ && srcLocked_; }
    mtxImage& Src() { return *src_; }

  private:
    mtxImage& dst_;
    mtxImage* src_;
    mtxImage copy_;
    bool dstLocked_ = false, srcLocked_ = false, ownsLock_ = false;
};

// Samplers of a locked source at a point in source pixel coordinates.
class Sampler {
  public:
    explicit Sampler(const mtxImage& image) : image_(image), w_(image.width), h_(image.height) {}

    Rgba Nearest(float x, float y) const {
        if (!(x >= 0.0f && y >= 0.0f && x < float(w_) && y < float(h_))) return {0, 0, 0, 0};
        return ToFloats(image_.At(std::min(int(x), w_ - 1), std::min(int(y), h_ - 1)));
    }

    // Neighbours outside the source take the colour of their in-range neighbour
    // with alpha 0, so edges fade to transparent.
    Rgba Bilinear(float x, float y) const {
        float px = x - 0.5f, py = y - 0.5f;
        float fx = std::floor(px), fy = std::floor(py);
        if (!(fx >= -1.0f && fy >= -1.0f && fx < float(w_) && fy < float(h_))) return {0, 0, 0, 0};
        int x0 = int(fx), y0 = int(fy);
        float tx = px - fx, ty = py - fy;
        Rgba c[4];
        for (int k = 0; k < 4; ++k) {
            int xi = x0 + (k & 1), yi = y0 + (k >> 1);
            bool inside = xi >= 0 && yi >= 0 && xi < w_ && yi < h_;
            c[k] = ToFloats(image_.At(std::clamp(xi, 0, w_ - 1), std::clamp(yi, 0, h_ - 1)));
            if (!inside) c[k].a = 0.0f;
        }
        auto lerp = [](float p, float q, float t) { return p + (q - p) * t; };
        auto mix = [&](float Rgba::*ch) {
            return lerp(lerp(c[0].*ch, c[1].*ch, tx), lerp(c[2].*ch, c[3].*ch, tx), ty);
        };
        return {mix(&Rgba::r), mix(&Rgba::g), mix(&Rgba::b), mix(&Rgba::a)};
    }

    // Catmull-Rom over the 4 x 4 neighbourhood, rows and columns clamped to the
    // edge, written as four weights per axis; the result is limited to 0..255
    // (the cubic overshoots at steps). Channels stay in byte units until the end:
    // scaling by 1/255 and back would only add rounding.
    mtxColor Bicubic(float x, float y) const {
        if (!(x >= 0.0f && y >= 0.0f && x < float(w_) && y < float(h_))) return 0;
        float px = x - 0.5f, py = y - 0.5f;
        float fx = std::floor(px), fy = std::floor(py);
        int x1 = int(fx), y1 = int(fy);
        float wx[4], wy[4];
        CubicWeights(px - fx, wx);
        CubicWeights(py - fy, wy);
        int xs[4];
        for (int k = 0; k < 4; ++k) xs[k] = std::clamp(x1 - 1 + k, 0, w_ - 1);
        F4 acc = {0, 0, 0, 0};
        for (int r = 0; r < 4; ++r) {
            const mtxColor* row = image_.Row(std::clamp(y1 - 1 + r, 0, h_ - 1));
            F4 line = wx[0] * Channels(row[xs[0]]) + wx[1] * Channels(row[xs[1]]) +
                      wx[2] * Channels(row[xs[2]]) + wx[3] * Channels(row[xs[3]]);
            acc += wy[r] * line;
        }
        return PackChannels(acc);
    }

    // p(t) = 0.5 (2 p1 + (p2 - p0) t + (2 p0 - 5 p1 + 4 p2 - p3) t^2 + (3 p1 - p0 - 3 p2 + p3) t^3)
    // gathered per sample.
    static void CubicWeights(float t, float w[4]) {
        float t2 = t * t, t3 = t2 * t;
        w[0] = 0.5f * (2.0f * t2 - t - t3);
        w[1] = 0.5f * (2.0f - 5.0f * t2 + 3.0f * t3);
        w[2] = 0.5f * (t + 4.0f * t2 - 3.0f * t3);
        w[3] = 0.5f * (t3 - t2);
    }

  private:
    const mtxImage& image_;
    int w_, h_;
};

bool NearUnitOrZero(float v) {
    float m = std::fabs(v);
    return m <= 1e-6f || std::fabs(m - 1.0f) <= 1e-6f;
}

void FillRect(mtxImage& image, const mtxRect& r, mtxColor value) {
    for (int y = r.top; y < r.bottom; ++y)
        std::fill(image.Row(y) + r.left, image.Row(y) + r.right, value);
}

// Deepest split of the area sampler: 256 x 256 leaves per destination pixel.
constexpr int kMaxSplits = 8;

}  // namespace

void mtxColorToFloats(mtxColor c, float out[4]) {
    Rgba v = ToFloats(c);
    out[0] = v.r, out[1] = v.g, out[2] = v.b, out[3] = v.a;
}

namespace {

// TransformImage into a part of a larger destination: destination holds its
// pixels from (columnOffset, rowOffset) on.
int TransformPart(mtxImage& source, mtxImage& destination, const float m[9], const mtxRect& clip,
                  uint32_t mode, int columnOffset, int rowOffset) {
    Pair pair(source, destination);
    if (!pair.Ok() || !destination.data || destination.width <= 0 || destination.height <= 0)
        return 1;
    mtxImage& src = pair.Src();
    mtxRect r = {0, 0, destination.width, destination.height};
    if (!clip.IsEmpty())
        r = {std::max(clip.left, 0), std::max(clip.top, 0), std::min(clip.right, destination.width),
             std::min(clip.bottom, destination.height)};
    if (r.IsEmpty()) return 1;

    if ((mode == kSampleBilinear || mode == kSampleBicubic) && NearUnitOrZero(m[0]) &&
        NearUnitOrZero(m[1]) && NearUnitOrZero(m[3]) && NearUnitOrZero(m[4]))
        mode = kSampleNearest;
    const double det = double(m[0]) * m[4] - double(m[1]) * m[3];
    if (mode > kSampleBicubic || !src.data || src.width <= 0 || src.height <= 0 ||
        !(std::fabs(det) > 1e-12)) {
        FillRect(destination, r, 0);
        return 1;
    }
    // Inverse: destination to source.
    const double ia = m[4] / det, ib = -m[1] / det, id = -m[3] / det, ie = m[0] / det;
    const double ic = (double(m[1]) * m[5] - double(m[2]) * m[4]) / det;
    const double iff = (double(m[2]) * m[3] - double(m[0]) * m[5]) / det;

    // The preimage of a pixel is the same parallelogram everywhere: edges (ia, id)
    // and (ib, ie). Halving it k times makes every edge at most one source pixel.
    double longest = std::max({std::fabs(ia), std::fabs(id), std::fabs(ib), std::fabs(ie)});
    int splits = 0;
    while (longest > 1.0 && splits < kMaxSplits) longest *= 0.5, ++splits;
    const int leaves = 1 << splits;
    const float leafScale = 1.0f / float(leaves * leaves);

    Sampler sampler(src);
    for (int j = r.top; j < r.bottom; ++j) {
        mtxColor* out = destination.Row(j);
        for (int i = r.left; i < r.right; ++i) {
            if (splits == 0) {
                double X = (i + columnOffset) + 0.5, Y = (j + rowOffset) + 0.5;
                float sx = float(ia * X + ib * Y + ic), sy = float(id * X + ie * Y + iff);
                if (mode == kSampleBicubic)
                    out[i] = sampler.Bicubic(sx, sy);
                else
                    out[i] = Pack(mode == kSampleNearest ? sampler.Nearest(sx, sy)
                                                         : sampler.Bilinear(sx, sy));
                continue;
            }
            Rgba sum = {0, 0, 0, 0};
            for (int t = 0; t < leaves; ++t)
                for (int s = 0; s < leaves; ++s) {
                    double X = (i + columnOffset) + (s + 0.5) / leaves,
                           Y = (j + rowOffset) + (t + 0.5) / leaves;
                    Rgba v =
                        sampler.Bilinear(float(ia * X + ib * Y + ic), float(id * X + ie * Y + iff));
                    sum.r += v.r, sum.g += v.g, sum.b += v.b, sum.a += v.a;
                }
            out[i] =
                Pack({sum.r * leafScale, sum.g * leafScale, sum.b * leafScale, sum.a * leafScale});
        }
    }
    return 1;
}

}  // namespace

int TransformImage(mtxImage& source, mtxImage& destination, const float m[9], const mtxRect& clip,
                   uint32_t mode) {
    return TransformPart(source, destination, m, clip, mode, 0, 0);
}

namespace {

// The source indices [first, last) that destination index i covers when n
// source indices shrink to count.
struct Span {
    int first, last;
};

std::vector<Span> BoxSpans(int n, int count) {
    std::vector<Span> spans(static_cast<size_t>(count));
    const float s = float(count) / float(n);
    for (int i = 0; i < count; ++i) {
        int first = int(std::lrintf(float(i) / s));
        int last = int(std::lrintf(float(i + 1) / s));
        first = std::clamp(first, 0, n - 1);
        last = std::clamp(last, first + 1, n);
        spans[size_t(i)] = {first, last};
    }
    return spans;
}

// Rows for an axis that does not shrink in the box scaler: row floor(j / s).
std::vector<Span> PickSpans(int n, int count) {
    std::vector<Span> spans(static_cast<size_t>(count));
    const float s = float(count) / float(n);
    for (int j = 0; j < count; ++j) {
        int row = std::clamp(int(std::floor(float(j) / s)), 0, n - 1);
        spans[size_t(j)] = {row, row + 1};
    }
    return spans;
}

inline uint32_t MeanByte(uint64_t sum, uint64_t count) {
    return uint32_t(std::lrint(double(sum) / double(count)));
}

// Both axes given as spans: every destination pixel is the mean of the source
// rectangle of its column span and row span. Column sums of a span of rows are
// gathered first, so each source pixel is read once per destination row.
void BoxScale(const mtxImage& src, mtxImage& dst, const Span* cols, const Span* rows) {
    const int w = src.width;
    std::vector<uint32_t> sums(size_t(w) * 4);
    for (int j = 0; j < dst.height; ++j) {
        const Span rs = rows[j];
        std::fill(sums.begin(), sums.end(), 0u);
        for (int y = rs.first; y < rs.last; ++y) {
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(src.Row(y));
            uint32_t* acc = sums.data();
            for (int k = 0; k < 4 * w; ++k) acc[k] += bytes[k];
        }
        mtxColor* out = dst.Row(j);
        const uint64_t rowsCount = uint64_t(rs.last - rs.first);
        for (int i = 0; i < dst.width; ++i) {
            const Span cs = cols[i];
            uint64_t total[4] = {0, 0, 0, 0};
            for (int x = cs.first; x < cs.last; ++x)
                for (int c = 0; c < 4; ++c) total[c] += sums[size_t(x) * 4 + c];
            const uint64_t count = rowsCount * uint64_t(cs.last - cs.first);
            uint32_t v = 0;
            for (int c = 0; c < 4; ++c) v |= MeanByte(total[c], count) << (8 * c);
            out[i] = v;
        }
    }
}

// x enlarges while y shrinks: each column is interpolated linearly between the
// two source columns around i / sx, then averaged over the row span.
void StretchXBoxY(const mtxImage& src, mtxImage& dst, int fullWidth, int left, const Span* rows) {
    const int w = src.width;
    const float sx = float(fullWidth) / float(w);
    struct Tap {
        int x0, x1;
        float t;
    };
    std::vector<Tap> taps(size_t(dst.width));
    for (int i = 0; i < dst.width; ++i) {
        float p = float(i + left) / sx, f = std::floor(p);
        int x0 = std::clamp(int(f), 0, w - 1);
        taps[size_t(i)] = {x0, std::min(x0 + 1, w - 1), p - f};
    }
    std::vector<float> acc(size_t(dst.width) * 4);
    for (int j = 0; j < dst.height; ++j) {
        const Span rs = rows[j];
        std::fill(acc.begin(), acc.end(), 0.0f);
        for (int y = rs.first; y < rs.last; ++y) {
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(src.Row(y));
            for (int i = 0; i < dst.width; ++i) {
                const Tap& tap = taps[size_t(i)];
                for (int c = 0; c < 4; ++c) {
                    float p = bytes[tap.x0 * 4 + c], q = bytes[tap.x1 * 4 + c];
                    acc[size_t(i) * 4 + c] += p + (q - p) * tap.t;
                }
            }
        }
        const float inv = 1.0f / float(rs.last - rs.first);
        mtxColor* out = dst.Row(j);
        for (int i = 0; i < dst.width; ++i) {
            uint32_t v = 0;
            for (int c = 0; c < 4; ++c) {
                long b = std::lrintf(acc[size_t(i) * 4 + c] * inv);
                v |= uint32_t(std::clamp(b, 0L, 255L)) << (8 * c);
            }
            out[i] = v;
        }
    }
}

}  // namespace

int ScaleImage(mtxImage& source, mtxImage& destination) {
    return ScaleImagePart(source, destination, destination.width, destination.height, 0, 0);
}

int ScaleImagePart(mtxImage& source, mtxImage& destination, int fullWidth, int fullHeight, int left,
                   int top) {
    const int w = source.width, h = source.height, W = fullWidth, H = fullHeight;
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0 || destination.width <= 0 || destination.height <= 0)
        return 1;
    if (left < 0 || top < 0 || destination.width > W - left || destination.height > H - top)
        return 0;
    if (W >= w && H >= h) {
        const float m[9] = {float(W) / float(w), 0, 0, 0, float(H) / float(h), 0, 0, 0, 1};
        return TransformPart(source, destination, m, {}, kSampleBicubic, left, top);
    }
    Pair pair(source, destination);
    if (!pair.Ok() || !destination.data || !pair.Src().data) return 1;
    mtxImage& src = pair.Src();
    std::vector<Span> rows = H <= h ? BoxSpans(h, H) : PickSpans(h, H);
    if (W <= w)
        BoxScale(src, destination, BoxSpans(w, W).data() + left, rows.data() + top);
    else
        StretchXBoxY(src, destination, W, left, rows.data() + top);
    return 1;
}

int TileImage(mtxImage& source, mtxImage& destination) {
    Pair pair(source, destination);
    if (!pair.Ok()) return 1;
    mtxImage& src = pair.Src();
    if (!src.data || src.width <= 0 || src.height <= 0 || !destination.data) return 1;
    const int w = src.width;
    for (int y = 0; y < destination.height; ++y) {
        const mtxColor* in = src.Row(y % src.height);
        mtxColor* out = destination.Row(y);
        for (int x = 0; x < destination.width; x += w)
            std::memcpy(out + x, in, size_t(std::min(w, destination.width - x)) * 4);
    }
    return 1;
}

int ResizeImage(mtxImage& source, mtxImage& destination, uint32_t flags) {
    const int w = source.width, h = source.height, W = destination.width, H = destination.height;
    switch (flags & 12) {
        case 0:
            return ScaleImage(source, destination);
        case 12:
            return TileImage(source, destination);
        default:
            break;
    }
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0) return 1;
    int iw, ih;
    if ((flags & 12) == 4) {
        ih = std::min(H, h);
        iw = int(std::lrint(double(ih) * w / h));
    } else {
        iw = std::min(W, w);
        ih = int(std::lrint(double(iw) * h / w));
    }
    mtxImage intermediate;
    if (!intermediate.Create(std::max(iw, 1), std::max(ih, 1), 0)) return 1;
    ScaleImage(source, intermediate);
    return TileImage(intermediate, destination);
}
