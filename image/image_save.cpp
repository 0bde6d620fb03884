// The three writers of an image, into a file the caller opened for writing.
#include "image/codecs/bmp_writer.h"
#include "image/codecs/jpeg_encoder.h"
#include "image/codecs/png_encoder.h"
#include "image/image.h"

int mtxImage::WriteBmp(mtxFile& file) {
    return mtxWriteBmp(*this, file);
}

int mtxImage::WriteJpeg(mtxFile& file) {
    mtxImageEncoderJpeg encoder(&file, this, 1);
    return encoder.Encode() == 0 ? 1 : 0;
}

int mtxImage::WritePng(mtxFile& file) {
    mtxImageEncoderPng encoder(&file, this, 0);
    return encoder.Encode() == 0 ? 1 : 0;
}
