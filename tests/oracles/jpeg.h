#pragma once
// libjpeg-turbo as the reference JPEG decoder and encoder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// After the standard headers: jpeglib.h uses size_t and FILE without
// including what declares them.
#include <jpeglib.h>

#include "tests/oracles/pixels.h"

namespace oracle {

// Decodes a JPEG held in memory to pixels (alpha 255); false when libjpeg
// refuses it. Without smoothChroma, subsampled chroma is repeated over its
// box of pixels instead of interpolated.
bool DecodeJpeg(const std::string& bytes, Pixels& out, bool smoothChroma = true);

// The sampling factors of a JPEG's components as libjpeg reads its header,
// "HxV" each, joined by commas ("2x2,1x1,1x1"); empty when it refuses the file.
std::string JpegSamplingFactors(const std::string& bytes);

struct JpegOptions {
    J_COLOR_SPACE space = JCS_YCbCr;  // colour space in the file
    int quality = 95;
    bool progressive = false;
    bool fullChroma = false;  // chroma at full resolution instead of libjpeg's 2 x 2
    bool optimise = false;    // Huffman tables made for the picture
    bool floatDct = false;    // the floating-point forward DCT
    std::string app1;         // written as an APP1 segment when not empty
};

// Encodes pixels (0xAARRGGBB words, alpha ignored; row y starts stride words
// after row y - 1) with libjpeg; empty on failure. For CMYK and YCCK files the input is turned into
// Adobe's inverted CMYK (K from the darkest channel); grey files take
// (299 R + 587 G + 114 B) / 1000 rounded.
std::string EncodeJpeg(const uint32_t* pixels, int width, int height, size_t stride,
                       const JpegOptions& options = {});
std::string EncodeJpeg(const Pixels& p, const JpegOptions& options = {});

}  // namespace oracle
