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

// A chunk as it sits in a file: length, type, data, CRC (zlib's crc32).
std::string Chunk(const char* type, const std::string& data);

// The data of every IDAT chunk of a file, joined: the zlib stream.
std::string IdatStream(const std::string& bytes);

// Test pictures: random pixels, or smooth ones (gradients with a little
// noise) that make the encoder pick every filter.
void Fill(mtxImage& image, uint32_t seed, int smooth);

}  // namespace png_oracle
