#pragma once
#include <cstdint>
#include <memory>

#include "image/codecs/png_codec.h"
#include "image/file_memory.h"

// Writes an image as a PNG, 8-bit RGBA unless another colour type and depth
// are chosen: IHDR, the thumbnail when enabled, the compressed rows in IDAT
// chunks of about 64 KB of filtered data each, IEND. Each row takes the
// filter with the best score (ties keep the earlier filter) unless adaptive
// filtering is switched off, which writes every row unfiltered.
class mtxImageEncoderPng : public mtxImageCodecPng {
  public:
    mtxImageEncoderPng() = default;
    mtxImageEncoderPng(mtxFile* boundFile, mtxImage* boundImage, uint32_t codecFlags = 0) {
        Setup(boundFile, boundImage, codecFlags);
    }

    // Encode.
    int Run() override { return static_cast<int>(Encode()); }
    // 0, or kFailed when the image has no pixels, memory is short or a write
    // failed (the file is then incomplete and must not be kept).
    uint32_t Encode();

    // The same file written from rows given in order, for pictures too large
    // to hold whole (no thumbnail): Begin writes the header, AddRows takes
    // the next rows (an image as wide as the picture), Finish ends the file
    // once every row came. Each 0, or kFailed (the file must then be thrown
    // away): a row too many or too few, a wrong width, memory short, a
    // failed write.
    uint32_t Begin(uint32_t width, uint32_t height);
    uint32_t AddRows(const mtxImage& rows);
    uint32_t Finish();

    int adaptiveFilter = 1;
    // The colour type and depth written: any pair mtxPngRows::CanWrite
    // accepts (Encode refuses others before writing anything). The program
    // writes RGBA 8.
    uint32_t outputColorType = 6, outputBitDepth = 8;

  private:
    uint32_t WriteHeader(uint32_t width, uint32_t height);
    uint32_t StartRows();
    uint32_t PutRow(const mtxColor* pixels);
    uint32_t FinishRows();
    uint32_t FlushStaging(int last);

    std::unique_ptr<uint8_t[]> raw_, prevRaw_, best_, candidate_, staging_;
    uint32_t stagingSize_ = 0, stagingFill_ = 0, rowsWritten_ = 0;
    mtxFileMemory stagingFile_, outputFile_{65536};
};
