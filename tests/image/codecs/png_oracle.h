#pragma once
// Helpers of the PNG tests: our codec on bytes in memory, libpng writing our
// images, chunks built by hand, and test pictures.
#include <cstdint>
#include <string>
#include <vector>

#include "image/image.h"
#include "tests/oracles/png.h"

namespace png_oracle {

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
