#include "tests/support/image_pixels.h"

#include <cstring>

#include "image/image.h"

namespace testing_support {

std::vector<uint32_t> PixelsOf(mtxImage& image) {
    std::vector<uint32_t> out(size_t(image.width) * size_t(image.height));
    if (out.empty() || !image.Lock()) return {};
    for (int y = 0; y < image.height; ++y)
        std::memcpy(&out[size_t(y) * size_t(image.width)], image.Row(y), size_t(image.width) * 4);
    image.Unlock();
    return out;
}

int PutPixels(mtxImage& image, int width, int height, const std::vector<uint32_t>& pixels) {
    if (pixels.size() < size_t(width) * size_t(height)) return 0;
    if (!image.Create(width, height, 0) || !image.Lock()) return 0;
    for (int y = 0; y < height; ++y)
        std::memcpy(image.Row(y), &pixels[size_t(y) * size_t(width)], size_t(width) * 4);
    image.Unlock();
    return 1;
}

}  // namespace testing_support
