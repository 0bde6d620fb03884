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
    mtxFieldLock<mtxImage> lock(image);
    if (!lock) return 0;
    mtxBmpRowWriter writer(file);
    if (!writer.Begin(image.width, image.height)) return 0;
    if (image.width > 0 && image.height > 0 && !writer.AddRows(image)) return 0;
    return writer.Finish();
}

int mtxBmpRowWriter::Begin(int width, int height) {
    width_ = width > 0 ? width : 0;
    height_ = height > 0 ? height : 0;
    rowsAdded_ = 0;
    failed_ = true;
    uint64_t pixelBytes = uint64_t(width_) * uint64_t(height_) * 4;
    if (pixelBytes + 54 > 0xFFFFFFFFu) return 0;

    uint8_t header[54] = {};
    header[0] = 'B';
    header[1] = 'M';
    Put32(header + 2, static_cast<uint32_t>(pixelBytes + 54));  // file size
    Put32(header + 10, 54);                                     // offset of the pixels
    Put32(header + 14, 40);                                     // BITMAPINFOHEADER
    Put32(header + 18, static_cast<uint32_t>(width_));
    Put32(header + 22, static_cast<uint32_t>(height_));  // positive: bottom-up rows
    Put16(header + 26, 1);                               // planes
    Put16(header + 28, 32);                              // bits per pixel
    // Compression, image size, resolutions and colour counts stay 0.

    failed_ = !(file_.Seek(0, 0) == 0 && file_.Write(header, 14) && file_.Write(header + 14, 40));
    return failed_ ? 0 : 1;
}

int mtxBmpRowWriter::AddRows(const mtxImage& rows) {
    if (failed_ || rows.width != width_ || rows.height < 0 || rows.height > height_ - rowsAdded_)
        return failed_ = true, 0;
    if (width_ == 0 || rows.height == 0) return rowsAdded_ += rows.height, 1;
    // The band's rows are one run of the file, its last row first.
    const uint32_t rowBytes = uint32_t(width_) * 4;
    const int below = height_ - rowsAdded_ - rows.height;
    int ok = file_.Seek(54 + int64_t(below) * rowBytes, 0) >= 0;
    for (int y = rows.height - 1; ok && y >= 0; --y) ok = file_.Write(rows.Row(y), rowBytes);
    rowsAdded_ += rows.height;
    failed_ = !ok;
    return ok;
}

int mtxBmpRowWriter::Finish() {
    if (failed_ || (width_ > 0 && rowsAdded_ != height_)) return failed_ = true, 0;
    failed_ = true;  // the file is done
    return mtxCommitWrites(file_) ? 1 : 0;
}
