#include "image/codecs/bmp_writer.h"

#include <cstring>

namespace {

void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

}  // namespace

int mtxWriteBmp(mtxImage& image, mtxFile& file) {
    int width = image.width > 0 ? image.width : 0;
    int height = image.height > 0 ? image.height : 0;
    uint64_t pixelBytes = uint64_t(width) * uint64_t(height) * 4;
    if (pixelBytes + 54 > 0xFFFFFFFFu) return 0;

    uint8_t header[54] = {};
    header[0] = 'B';
    header[1] = 'M';
    Put32(header + 2, static_cast<uint32_t>(pixelBytes + 54));  // file size
    Put32(header + 10, 54);                                     // offset of the pixels
    Put32(header + 14, 40);                                     // BITMAPINFOHEADER
    Put32(header + 18, static_cast<uint32_t>(width));
    Put32(header + 22, static_cast<uint32_t>(height));  // positive: bottom-up rows
    Put16(header + 26, 1);                              // planes
    Put16(header + 28, 32);                             // bits per pixel
    // Compression, image size, resolutions and colour counts stay 0.

    mtxFieldLock<mtxImage> lock(image);
    if (!lock) return 0;
    int ok = file.Seek(0, 0) == 0;
    ok &= file.Write(header, 14);
    ok &= file.Write(header + 14, 40);
    if (width > 0 && image.data) {
        for (int y = height - 1; y >= 0; --y)
            ok &= file.Write(image.Row(y), static_cast<uint32_t>(width) * 4);
    }
    ok &= mtxCommitWrites(file);
    return ok ? 1 : 0;
}
