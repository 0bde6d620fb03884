#pragma once
// libpng as the reference decoder of the PNG tests.
#include <cstdint>
#include <string>
#include <vector>

#include "image/image.h"

namespace png_oracle {

struct Picture {
    uint32_t width = 0, height = 0;
    int colorType = 0, hasTrns = 0;
    std::vector<uint8_t> rgba;  // 8-bit RGBA, rows top to bottom
};

// Decodes a PNG held in memory with libpng, expanded to 8-bit RGBA (16-bit
// samples keep their high byte). False when libpng refuses the file.
bool Decode(const std::string& bytes, Picture& out);

// The image written by libpng as 8-bit RGBA with its default settings.
std::string Encode(const mtxImage& image);

// Our decoder on the same bytes: the Decode result, the image filled.
int OurDecode(const std::string& bytes, mtxImage& image);

// Our encoder into memory.
std::string OurEncode(mtxImage& image);

}  // namespace png_oracle
