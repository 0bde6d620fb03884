#pragma once
#include "image/codecs/jpeg_codec.h"
#include "image/image.h"

// Writes an image as a baseline sequential JFIF file: YCbCr 4:4:4 in 8 x 8
// MCUs, the T.81 Annex K quantisation tables scaled by the quality, a restart
// marker every two MCU rows, and Huffman tables optimised for the image in a
// statistics pass before the coding pass. Alpha is not written.
//
//   mtxImageEncoderJpeg encoder(&file, &image, 1);
//   int status = encoder.Encode();  // 0, or kFailure
class mtxImageEncoderJpeg : public mtxImageCodecJpeg {
  public:
    mtxImageEncoderJpeg(mtxFile* boundFile, mtxImage* boundImage, uint32_t codecFlags = 1)
        : mtxImageCodecJpeg(boundFile, boundImage, codecFlags) {}

    int Run() override { return Encode(); }

    // Encodes the bound image into the bound file from offset 0. Returns 0 on
    // success; kFailure, with nothing written, for an image without pixels,
    // with a side above 65535 (the limit of the format), or too large for
    // memory; kFailure when a write to the file or its flush failed.
    int Encode();

    mtxImage working;  // the source's current MCU row, converted to YCbCr

  private:
    int SetUpFrame();
    void SetUpQuantisation();
    // Samples, transforms and quantises every block into the block stores and
    // counts the symbols the coding pass will write.
    void Transform();
    void Code();
};
