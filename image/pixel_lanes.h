#pragma once
// A pixel's four channels as one vector of floats, for operations that work on
// all channels at once.
#include "image/image.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Four floats in a pixel's memory order: blue, green, red, alpha.
typedef float mtxPixelLanes __attribute__((vector_size(16)));

// The channel bytes of c widened to floats.
inline mtxPixelLanes mtxToLanes(mtxColor c) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(c)), zero);
    return mtxPixelLanes(_mm_cvtepi32_ps(_mm_unpacklo_epi16(v, zero)));
#else
    return mtxPixelLanes{float(c & 0xFF), float((c >> 8) & 0xFF), float((c >> 16) & 0xFF),
                         float(c >> 24)};
#endif
}
