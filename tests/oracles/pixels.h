#pragma once
// Pixels as the reference libraries hand them to the tests, and two measures
// of how far apart two pictures are.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace oracle {

// Pixels 0xAARRGGBB (in memory bytes blue, green, red, alpha, as our images
// hold them), rows top to bottom, no padding.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;
    uint32_t At(int x, int y) const { return data[size_t(y) * size_t(width) + size_t(x)]; }
};

// Peak signal-to-noise ratio over red, green and blue; infinity when equal.
double Psnr(const Pixels& a, const Pixels& b);

// Largest difference of any red, green or blue value.
int MaxDifference(const Pixels& a, const Pixels& b);

}  // namespace oracle
