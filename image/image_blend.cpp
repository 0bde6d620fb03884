// Copies and blends between images: Blit, BlendOver, Composite.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/image.h"
#include "image/pixel_lanes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The part of source's rect that lands inside a width x height destination at
// (x, y): source origin, destination origin and size. False when nothing lands.
struct Span {
    int srcX, srcY, dstX, dstY, w, h;
};

bool ClipSpan(const mtxImage& source, const mtxRect& rect, int x, int y, int width, int height,
              Span& out) {
    int64_t left = 0, top = 0, right = source.width, bottom = source.height;
    if (!rect.IsEmpty()) {
        left = std::max<int64_t>(rect.left, 0);
        top = std::max<int64_t>(rect.top, 0);
        right = std::min<int64_t>(rect.right, source.width);
        bottom = std::min<int64_t>(rect.bottom, source.height);
    }
    if (right <= left || bottom <= top) return false;
    if (x >= width || y >= height) return false;
    int64_t dx = x, dy = y;
    if (dx < 0) left -= dx, dx = 0;
    if (dy < 0) top -= dy, dy = 0;
    int64_t w = std::min<int64_t>(right - left, width - dx);
    int64_t h = std::min<int64_t>(bottom - top, height - dy);
    if (w <= 0 || h <= 0) return false;
    out = Span{int(left), int(top), int(dx), int(dy), int(w), int(h)};
    return true;
}

// Locks the destination and, when it is another image, the source.
class PairLock {
  public:
    PairLock(mtxImage& dst, mtxImage& src) : dst_(dst), src_(&src == &dst ? nullptr : &src) {
        dstLocked_ = dst_.Lock() != 0;
        srcLocked_ = src_ ? src_->Lock() != 0 : dstLocked_;
    }
    ~PairLock() {
        if (src_ && srcLocked_) src_->Unlock();
        if (dstLocked_) dst_.Unlock();
    }
    bool Ok() const { return dstLocked_ && srcLocked_; }

  private:
    mtxImage& dst_;
    mtxImage* src_;
    bool dstLocked_, srcLocked_;
};

inline uint32_t Round8(float v) {
    return uint32_t(std::lrintf(v)) & 0xFF;
}

using F4 = mtxPixelLanes;

inline F4 Channels(mtxColor c) {
    return mtxToLanes(c);
}

// Rounds four channel values in 0..255 to nearest (ties to even) and packs them.
inline mtxColor Pack(F4 v) {
#if defined(__SSE2__)
    __m128i i = _mm_cvtps_epi32(__m128(v));
    i = _mm_packs_epi32(i, i);
    return mtxColor(_mm_cvtsi128_si32(_mm_packus_epi16(i, i)));
#else
    return Round8(v[0]) | (Round8(v[1]) << 8) | (Round8(v[2]) << 16) | (Round8(v[3]) << 24);
#endif
}

}  // namespace

void mtxImage::Blit(mtxImage& source, const mtxRect& rect, int x, int y) {
    PairLock lock(*this, source);
    if (!lock.Ok() || !data || !source.data) return;
    Span s;
    if (!ClipSpan(source, rect, x, y, width, height, s)) return;
    const size_t bytes = size_t(s.w) * 4;
    // Within one image, copy rows in the order that never reads a row already written.
    bool upward = &source == this && s.dstY > s.srcY;
    for (int i = 0; i < s.h; ++i) {
        int row = upward ? s.h - 1 - i : i;
        std::memmove(Row(s.dstY + row) + s.dstX, source.Row(s.srcY + row) + s.srcX, bytes);
    }
}

void mtxImage::BlendOver(mtxImage& source, uint8_t opacity, const mtxRect& rect, int x, int y) {
    PairLock lock(*this, source);
    if (!lock.Ok() || !data || !source.data) return;
    Span s;
    if (!ClipSpan(source, rect, x, y, width, height, s)) return;
    const float o = float(opacity);
    for (int j = 0; j < s.h; ++j) {
        const mtxColor* src = source.Row(s.srcY + j) + s.srcX;
        mtxColor* dst = Row(s.dstY + j) + s.dstX;
        for (int i = 0; i < s.w; ++i) {
            mtxColor sc = src[i], dc = dst[i];
            float a = float(mtxAlpha(sc)) * o / 255.0f;
            float ia = 255.0f - a;
            // Colour lanes: (a s + (255 - a) d) / 255; the alpha lane has its own rule.
            F4 v = (a * Channels(sc) + ia * Channels(dc)) / 255.0f;
            v[3] = 255.0f - (255.0f - float(mtxAlpha(dc))) * ia / 255.0f;
            dst[i] = Pack(v);
        }
    }
}

void mtxImage::Composite(mtxImage& source, const mtxRect& rect, int x, int y) {
    PairLock lock(*this, source);
    if (!lock.Ok() || !data || !source.data) return;
    Span s;
    if (!ClipSpan(source, rect, x, y, width, height, s)) return;
    for (int j = 0; j < s.h; ++j) {
        const mtxColor* src = source.Row(s.srcY + j) + s.srcX;
        mtxColor* dst = Row(s.dstY + j) + s.dstX;
        for (int i = 0; i < s.w; ++i) {
            mtxColor sc = src[i], dc = dst[i];
            float a = float(mtxAlpha(sc)), ia = 255.0f - a;
            // Alpha follows the colour rule with 255 in place of the source value.
            F4 source = Channels(sc);
            source[3] = 255.0f;
            dst[i] = Pack((source * a + Channels(dc) * ia) / 255.0f);
        }
    }
}
