#pragma once
// libpng as the reference PNG decoder and encoder.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/oracles/pixels.h"

namespace oracle {

struct PngPicture {
    uint32_t width = 0, height = 0;
    int colorType = 0, hasTrns = 0;  // as the file's header and chunks say
    std::vector<uint8_t> rgba;       // 8-bit RGBA, rows top to bottom
};

// Decodes a PNG held in memory, expanded to 8-bit RGBA: grey becomes RGB,
// palettes and tRNS are expanded, 16-bit samples keep their high byte, a
// missing alpha is 255; no gamma correction. False when libpng refuses the file.
bool DecodePng(const std::string& bytes, PngPicture& out);

// The same from a file, as pixels; empty when the file cannot be read or
// libpng refuses it.
Pixels ReadPng(const std::string& path);

// 8-bit RGBA rows (width x 4 bytes each, no padding) written by libpng with its
// default settings; empty on failure.
std::string EncodePng(const uint8_t* rgba, uint32_t width, uint32_t height);

}  // namespace oracle
