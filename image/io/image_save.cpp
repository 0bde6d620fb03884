// The three writers of an image, into a file the caller opened for writing.
#include "image/io/image_save.h"

#include <algorithm>

#include "image/codecs/bmp_writer.h"
#include "image/codecs/jpeg_encoder.h"
#include "image/codecs/png_encoder.h"
#include "image/image.h"

int mtxImageWriteBmp(mtxImage& image, mtxFile& file) {
    return mtxWriteBmp(image, file);
}

int mtxImageWriteJpeg(mtxImage& image, mtxFile& file) {
    return mtxImageWriteJpeg(image, file, mtxJpegDefaultQuality);
}

int mtxImageWriteJpeg(mtxImage& image, mtxFile& file, int quality) {
    mtxImageEncoderJpeg encoder(&file, &image, 1);
    encoder.quality = static_cast<float>(std::clamp(quality, 1, 100));
    return encoder.Encode() == 0 ? 1 : 0;
}

int mtxImageWritePng(mtxImage& image, mtxFile& file) {
    mtxImageEncoderPng encoder(&file, &image, 0);
    return encoder.Encode() == 0 ? 1 : 0;
}
