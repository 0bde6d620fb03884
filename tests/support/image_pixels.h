#pragma once
// Images and plain pixel lists: what tests compare and build pictures from.
#include <cstdint>
#include <vector>

class mtxImage;

namespace testing_support {

// The image's pixels 0xAARRGGBB, rows top to bottom without padding, read
// between Lock and Unlock (so device images work too); empty when it cannot
// be locked.
std::vector<uint32_t> PixelsOf(mtxImage& image);

// Makes image width x height holding pixels (as PixelsOf gives them). 1, or 0
// when it cannot be created or locked.
int PutPixels(mtxImage& image, int width, int height, const std::vector<uint32_t>& pixels);

}  // namespace testing_support
