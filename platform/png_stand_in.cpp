#include "platform/png_stand_in.h"

#include <png.h>

namespace mtxOs {

bool DecodePngStandIn(const uint8_t* data, size_t size, Bitmap& out) {
    out = {};
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!data || !png_image_begin_read_from_memory(&image, data, size)) return false;
    image.format = PNG_FORMAT_BGRA;  // bytes B, G, R, A: 0xAARRGGBB words
    if (image.width == 0 || image.height == 0 || image.width > 16384 || image.height > 16384) {
        png_image_free(&image);
        return false;
    }
    Bitmap decoded;
    decoded.Resize(static_cast<int>(image.width), static_cast<int>(image.height), 0);
    if (!png_image_finish_read(&image, nullptr, decoded.pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    out = std::move(decoded);
    return true;
}

}  // namespace mtxOs
