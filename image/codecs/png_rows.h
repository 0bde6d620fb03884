#pragma once
// Row filters (ISO/IEC 15948 section 9) and the conversion of decoded rows
// to A8R8G8B8 pixels, shared by the PNG reader and writer.
#include <cstdint>

namespace mtxPngRows {

enum Filter : uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

// Undoes filter on row (bytes bytes) given the previous row (zeros for the
// first); bpp is the filter's byte distance, max(1, bits per pixel / 8).
// Filter values above 4 are taken as None.
void Unfilter(uint8_t filter, uint8_t* row, const uint8_t* prev, uint32_t bytes, uint32_t bpp);

// Applies filter to raw into out.
void ApplyFilter(uint8_t filter, const uint8_t* raw, const uint8_t* prev, uint8_t* out,
                 uint32_t bytes, uint32_t bpp);

// The encoder's score of a filtered row: positions i >= 4 whose byte equals
// each of the four bytes before it.
uint32_t Score(const uint8_t* row, uint32_t bytes);

// How a row converts: colour type, depth, palette, and the colour key.
struct Format {
    uint32_t colorType = 6, bitDepth = 8;
    const uint32_t* palette = nullptr;  // 256 entries, for colour type 3
    int hasKey = 0;                     // colour key of types 0 and 2
    uint16_t key[3] = {};               // raw samples compared with the pixel's
};

// Converts count pixels of an unfiltered row to A8R8G8B8; a pixel matching
// the colour key becomes 0.
void Convert(const Format& format, const uint8_t* row, uint32_t count, uint32_t* out);

// A8R8G8B8 pixels to RGBA bytes.
void ToRgba(const uint32_t* pixels, uint32_t count, uint8_t* out);

}  // namespace mtxPngRows
