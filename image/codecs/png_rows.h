#pragma once
// Row filters (ISO/IEC 15948 section 9) and the conversion of decoded rows
// to A8R8G8B8 pixels, shared by the PNG reader and writer.
#include <cstdint>
#include <cstdlib>

namespace mtxPngRows {

enum Filter : uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

// Section 9.4: the neighbour nearest to a + b - c, ties in the order a, b, c.
inline uint8_t PaethPredictor(int a, int b, int c) {
    int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

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

// The grey level of a pixel, 0.299 R + 0.587 G + 0.114 B, not yet rounded.
double GreyLevel(uint32_t pixel);

// Whether FromPixels writes a colour type and depth: grey (0) of 1, 2, 4, 8
// or 16 bits; RGB (2), grey with alpha (4) and RGBA (6) of 8 or 16 bits.
// Palette images (3) are not written: they would need a palette search.
bool CanWrite(uint32_t colorType, uint32_t bitDepth);

// A8R8G8B8 pixels to the raw bytes of one row of format's colour type and
// depth (palette and key are not used): (count x bits per pixel + 7) / 8
// bytes. Grey is GreyLevel rounded to nearest and clamped to 0..255; grey
// samples below 8 bits are its top bits (1-bit grey is set from 128 up),
// packed most significant first, a partial last byte padded with zero bits.
// 16-bit samples are the 8-bit value followed by a zero byte. False, with
// nothing written, for a format CanWrite refuses.
bool FromPixels(const Format& format, const uint32_t* pixels, uint32_t count, uint8_t* out);

}  // namespace mtxPngRows
