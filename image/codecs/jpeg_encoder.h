#pragma once
#include "image/codecs/jpeg_codec.h"
#include "image/codecs/jpeg_symbols.h"
#include "image/image.h"

// Writes an image as a baseline sequential JFIF file: YCbCr, the T.81 Annex K
// quantisation tables scaled by the quality, a restart marker every two MCU
// rows, and Huffman tables optimised for the image in a statistics pass
// before the coding pass. Below kFullChromaQuality the chroma is averaged
// over 2 x 2 pixels (4:2:0, MCUs of 16 x 16 with four luma blocks), where the
// eye misses it and the file shrinks by about a third; from there up it keeps
// full resolution (4:4:4, MCUs of 8 x 8). Alpha is not written.
//
// The rows may come a band at a time: only the MCU row being filled is held
// as pixels; each full one is transformed at once and its symbols kept
// packed (mtxJpegSymbols) until Finish, when the tables are known and the
// file is written.
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

    // The same file from rows given top to bottom, for pictures too large to
    // hold whole: Begin sets the frame up (no image need be bound), AddRows
    // takes the next rows (an image as wide as the picture), Finish writes
    // the file from offset 0 once every row came. Each 0, or kFailure: a
    // side out of 1 to 65535, a row too many or too few, a wrong width,
    // memory short, a failed write (the file must then be thrown away).
    int Begin(uint32_t width, uint32_t height);
    int AddRows(const mtxImage& rows);
    int Finish();

    mtxImage working;  // the MCU row being filled, converted to YCbCr when full
    // Where the kept symbols beyond a few megabytes go (see mtxJpegSymbols),
    // for pictures whose symbols are too many to hold; null keeps them all.
    mtxFile* spill = nullptr;

  private:
    void SetUpFrame(uint32_t width, uint32_t height);
    void SetUpQuantisation();
    void SetUpScan();
    // Samples, transforms and quantises the blocks of the working MCU row,
    // counts their symbols for the tables and keeps them for the coding pass.
    int TransformRow();
    // Writes the kept symbols with the tables made for them.
    void Code();
    void CodeBlock(const mtxJpeg::HuffmanTable& dc, const mtxJpeg::HuffmanTable& ac);

    mtxJpegSymbols symbols_;
    float quantisers_[3][64] = {};
    uint32_t rowsAdded_ = 0, rowsHeld_ = 0, mcu_ = 0;
    bool failed_ = false;
};
