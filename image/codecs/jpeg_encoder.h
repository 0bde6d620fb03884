#pragma once
#include "image/codecs/jpeg_codec.h"
#include "image/image.h"

// Writes an image as a baseline sequential JFIF file: YCbCr, the T.81 Annex K
// quantisation tables scaled by the quality, a restart marker every two MCU
// rows, and Huffman tables optimised for the image in a statistics pass
// before the coding pass. Below kFullChromaQuality the chroma is averaged
// over 2 x 2 pixels (4:2:0, MCUs of 16 x 16 with four luma blocks), where the
// eye misses it and the file shrinks by about a third; from there up it keeps
// full resolution (4:4:4, MCUs of 8 x 8). Alpha is not written.
//
//   mtxImageEncoderJpeg encoder(&file, &image, 1);
//   encoder.quality = 92;
//   int status = encoder.Encode();  // 0, or kFailure
class mtxImageEncoderJpeg : public mtxImageCodecJpeg {
  public:
    static constexpr float kFullChromaQuality = 95;

    mtxImageEncoderJpeg(mtxFile* boundFile, mtxImage* boundImage, uint32_t codecFlags = 1)
        : mtxImageCodecJpeg(boundFile, boundImage, codecFlags) {}

    // Whether a file of this quality carries its chroma at half resolution
    // both ways.
    static bool SubsamplesChroma(float quality) { return quality < kFullChromaQuality; }

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
    void CodeBlock(const int16_t* z, Scan::Member& member, const mtxJpeg::HuffmanTable& dc,
                   const mtxJpeg::HuffmanTable& ac);
};
