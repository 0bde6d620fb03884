#include "fill/color_key.h"

#include <cmath>
#include <cstdint>

#include "image/image.h"

void mcvColorKey(const float meanColor[3], float key[3]) {
    uint32_t rgb[3];
    // Rounded to the nearest integer, ties to even.
    for (int c = 0; c < 3; ++c) rgb[c] = uint32_t(std::nearbyint(meanColor[c] * 255.0f));
    mtxColor ycc = mtxArgb(255, rgb[0], rgb[1], rgb[2]);
    mtxImage one(&ycc, 1, 1, 4);
    one.ToYCbCr();
    key[0] = float(mtxRed(ycc)) / 255.0f;
    key[1] = float(mtxGreen(ycc)) / 255.0f;
    key[2] = float(mtxBlue(ycc)) / 255.0f;
}
