// Undoing the row filters of ISO/IEC 15948 section 9 when reading. Pictures
// of 3 and 4 bytes per pixel (RGB and RGBA 8) are by far the most common,
// and their Sub, Average and Paeth rows run pixel by pixel in SSE2 registers
// (baseline on x86-64); every other case, and other processors, use the
// portable loops, which give the same bytes.
#include <cstring>

#include "image/codecs/png_rows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define MTX_PNG_SSE2 1
#else
#define MTX_PNG_SSE2 0
#endif

namespace mtxPngRows {
namespace {

// The first bpp bytes have no left neighbour: a and c count as 0.
void UnfilterFirstPixel(uint8_t filter, uint8_t* row, const uint8_t* prev, uint32_t first) {
    for (uint32_t i = 0; i < first; ++i) {
        if (filter == kAverage) row[i] = static_cast<uint8_t>(row[i] + (prev[i] >> 1));
        if (filter == kPaeth) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
    }
}

void UnfilterPortable(uint8_t filter, uint8_t* row, const uint8_t* prev, uint32_t bytes,
                      uint32_t bpp) {
    switch (filter) {
        case kSub:
            for (uint32_t i = bpp; i < bytes; ++i)
                row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
            break;
        case kUp:
            for (uint32_t i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
            break;
        case kAverage:
            UnfilterFirstPixel(filter, row, prev, bpp < bytes ? bpp : bytes);
            for (uint32_t i = bpp; i < bytes; ++i)
                row[i] = static_cast<uint8_t>(row[i] + ((row[i - bpp] + prev[i]) >> 1));
            break;
        case kPaeth:
            UnfilterFirstPixel(filter, row, prev, bpp < bytes ? bpp : bytes);
            for (uint32_t i = bpp; i < bytes; ++i)
                row[i] = static_cast<uint8_t>(row[i] +
                                              PaethPredictor(row[i - bpp], prev[i], prev[i - bpp]));
            break;
        default:
            break;  // None, and unknown filters taken as None
    }
}

#if MTX_PNG_SSE2

// One pixel of Bpp (3 or 4) bytes in the low lanes of a register. A 4-byte
// load would read one byte past the last 3-byte pixel of a row, so 3-byte
// pixels go through memcpy; the compiler turns both into plain moves.
template <uint32_t Bpp>
inline __m128i LoadPixel(const uint8_t* p) {
    uint32_t v = 0;
    std::memcpy(&v, p, Bpp);
    return _mm_cvtsi32_si128(static_cast<int>(v));
}

template <uint32_t Bpp>
inline void StorePixel(uint8_t* p, __m128i v) {
    uint32_t w = static_cast<uint32_t>(_mm_cvtsi128_si32(v));
    std::memcpy(p, &w, Bpp);
}

template <uint32_t Bpp>
void SubSse2(uint8_t* row, uint32_t bytes) {
    __m128i a = _mm_setzero_si128();
    for (uint32_t i = 0; i + Bpp <= bytes; i += Bpp) {
        a = _mm_add_epi8(a, LoadPixel<Bpp>(row + i));
        StorePixel<Bpp>(row + i, a);
    }
}

template <uint32_t Bpp>
void AverageSse2(uint8_t* row, const uint8_t* prev, uint32_t bytes) {
    const __m128i one = _mm_set1_epi8(1);
    __m128i a = _mm_setzero_si128();
    for (uint32_t i = 0; i + Bpp <= bytes; i += Bpp) {
        __m128i b = LoadPixel<Bpp>(prev + i);
        // pavgb rounds up; the filter's mean rounds down.
        __m128i mean = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        a = _mm_add_epi8(mean, LoadPixel<Bpp>(row + i));
        StorePixel<Bpp>(row + i, a);
    }
}

inline __m128i Abs16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

// Bytes widened to 16-bit lanes, so a + b - c and the distances fit.
template <uint32_t Bpp>
void PaethSse2(uint8_t* row, const uint8_t* prev, uint32_t bytes) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero, c = zero;
    for (uint32_t i = 0; i + Bpp <= bytes; i += Bpp) {
        __m128i b = _mm_unpacklo_epi8(LoadPixel<Bpp>(prev + i), zero);
        __m128i pa = Abs16(_mm_sub_epi16(b, c));
        __m128i pb = Abs16(_mm_sub_epi16(a, c));
        __m128i pc = Abs16(_mm_add_epi16(_mm_sub_epi16(b, c), _mm_sub_epi16(a, c)));
        // Ties prefer a, then b: take a where pa <= min(pb, pc), else b where
        // pb <= pc, else c.
        __m128i notA = _mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc));
        __m128i useC = _mm_cmpgt_epi16(pb, pc);
        __m128i bc = _mm_or_si128(_mm_and_si128(useC, c), _mm_andnot_si128(useC, b));
        __m128i pred = _mm_or_si128(_mm_and_si128(notA, bc), _mm_andnot_si128(notA, a));
        __m128i x = _mm_add_epi8(_mm_packus_epi16(pred, zero), LoadPixel<Bpp>(row + i));
        StorePixel<Bpp>(row + i, x);
        a = _mm_unpacklo_epi8(x, zero);
        c = b;
    }
}

template <uint32_t Bpp>
bool UnfilterSse2(uint8_t filter, uint8_t* row, const uint8_t* prev, uint32_t bytes) {
    switch (filter) {
        case kSub:
            SubSse2<Bpp>(row, bytes);
            return true;
        case kAverage:
            AverageSse2<Bpp>(row, prev, bytes);
            return true;
        case kPaeth:
            PaethSse2<Bpp>(row, prev, bytes);
            return true;
        default:
            return false;
    }
}

#endif

}  // namespace

void Unfilter(uint8_t filter, uint8_t* row, const uint8_t* prev, uint32_t bytes, uint32_t bpp) {
#if MTX_PNG_SSE2
    // Rows of whole pixels only; anything else is not a well-formed row.
    if (bytes % bpp == 0) {
        if (bpp == 4 && UnfilterSse2<4>(filter, row, prev, bytes)) return;
        if (bpp == 3 && UnfilterSse2<3>(filter, row, prev, bytes)) return;
    }
#endif
    UnfilterPortable(filter, row, prev, bytes, bpp);
}

}  // namespace mtxPngRows
