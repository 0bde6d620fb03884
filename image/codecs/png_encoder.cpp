#include "image/codecs/png_encoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "image/codecs/png_rows.h"

uint32_t mtxImageEncoderPng::FlushStaging(int last) {
    stagingFile_.Attach(staging_.get(), stagingFill_, 0);
    outputFile_.SetLength(0);
    outputFile_.Seek(0, 0);
    compressor.SetInput(&stagingFile_);
    compressor.SetOutput(&outputFile_);
    uint32_t status = compressor.Compress(last);
    stagingFill_ = 0;
    // The deflate stream runs on across IDAT chunks; bits still pending stay
    // in the compressor for the next one.
    uint32_t length = static_cast<uint32_t>(outputFile_.GetLength());
    if (length && WriteChunkData("IDAT", outputFile_.Data(), length) != 0) status = kFailed;
    return status;
}

uint32_t mtxImageEncoderPng::WriteHeader(uint32_t width, uint32_t height) {
    if (!file || width == 0 || height == 0) return kFailed;
    if (!mtxPngRows::CanWrite(outputColorType, outputBitDepth)) return kFailed;
    BuildCrcTable();
    if (file->Seek(0, 0) != 0) return kFailed;
    uint32_t status = file->Write(kPngSignature, 8) ? 0 : kFailed;
    header.width = width;
    header.height = height;
    header.bitDepth = outputBitDepth;
    header.colorType = outputColorType;
    header.compression = header.filter = header.interlace = 0;
    status |= header.WriteChunk(*this);
    return status;
}

uint32_t mtxImageEncoderPng::StartRows() {
    const uint64_t rowLength64 = header.RowBytes(header.width);
    if (rowLength64 + 1 > 0x40000000) return kFailed;
    const uint32_t rowLength = static_cast<uint32_t>(rowLength64);
    stagingSize_ = (rowLength + 1) * (65536 / (rowLength + 1) + 1);
    raw_.reset(new (std::nothrow) uint8_t[rowLength]);
    prevRaw_.reset(new (std::nothrow) uint8_t[rowLength]());
    best_.reset(new (std::nothrow) uint8_t[rowLength + 1]);
    candidate_.reset(new (std::nothrow) uint8_t[rowLength + 1]);
    staging_.reset(new (std::nothrow) uint8_t[stagingSize_]);
    if (!raw_ || !prevRaw_ || !best_ || !candidate_ || !staging_) return kFailed;
    stagingFill_ = 0;
    rowsWritten_ = 0;
    compressor.BeginCompress();
    return 0;
}

uint32_t mtxImageEncoderPng::PutRow(const mtxColor* pixels) {
    if (!staging_ || rowsWritten_ >= header.height) return kFailed;
    mtxPngRows::Format format;
    format.colorType = outputColorType;
    format.bitDepth = outputBitDepth;
    const uint32_t bpp = std::max(1u, header.BitsPerPixel() / 8);
    const uint32_t rowLength = static_cast<uint32_t>(header.RowBytes(header.width));
    const uint32_t y = rowsWritten_++;
    mtxPngRows::FromPixels(format, pixels, header.width, raw_.get());
    // None first, then Sub, and for later rows Up, Average and Paeth; a
    // filter replaces the best only with a strictly higher score.
    best_[0] = mtxPngRows::kNone;
    std::memcpy(best_.get() + 1, raw_.get(), rowLength);
    if (adaptiveFilter) {
        uint32_t bestScore = mtxPngRows::Score(best_.get() + 1, rowLength);
        const uint8_t last = y == 0 ? mtxPngRows::kSub : mtxPngRows::kPaeth;
        for (uint8_t f = mtxPngRows::kSub; f <= last; ++f) {
            candidate_[0] = f;
            mtxPngRows::ApplyFilter(f, raw_.get(), prevRaw_.get(), candidate_.get() + 1, rowLength,
                                    bpp);
            uint32_t score = mtxPngRows::Score(candidate_.get() + 1, rowLength);
            if (score > bestScore) {
                bestScore = score;
                std::swap(best_, candidate_);
            }
        }
    }
    std::memcpy(staging_.get() + stagingFill_, best_.get(), rowLength + 1);
    stagingFill_ += rowLength + 1;
    std::swap(raw_, prevRaw_);
    bool lastRow = rowsWritten_ == header.height;
    uint32_t status = 0;
    if (lastRow || stagingSize_ - stagingFill_ < rowLength + 1) status = FlushStaging(lastRow);
    return status;
}

uint32_t mtxImageEncoderPng::FinishRows() {
    if (!staging_ || rowsWritten_ != header.height) return kFailed;
    compressor.EndCompress();
    uint32_t status = end.WriteChunk(*this);
    if (!mtxCommitWrites(*file)) status = kFailed;
    staging_.reset();
    return status ? kFailed : 0;
}

uint32_t mtxImageEncoderPng::Begin(uint32_t width, uint32_t height) {
    uint32_t status = WriteHeader(width, height);
    return status ? kFailed : StartRows();
}

uint32_t mtxImageEncoderPng::AddRows(const mtxImage& rows) {
    if (rows.width < 0 || uint32_t(rows.width) != header.width) return kFailed;
    for (int y = 0; y < rows.height; ++y)
        if (PutRow(rows.Row(y))) return kFailed;
    return 0;
}

uint32_t mtxImageEncoderPng::Finish() {
    return FinishRows();
}

uint32_t mtxImageEncoderPng::Encode() {
    if (!file || !image || image->IsEmpty()) return kFailed;
    uint32_t status =
        WriteHeader(static_cast<uint32_t>(image->width), static_cast<uint32_t>(image->height));
    if (status) return kFailed;
    // Scaling the thumbnail locks and unlocks the image by itself, which
    // would end a lock taken here: the rows are locked after it.
    status |= thumbNail.WriteChunk(*this);
    mtxFieldLock<mtxImage> lock(*image);
    if (!lock || StartRows()) return kFailed;
    for (int y = 0; y < image->height; ++y) {
        status |= PutRow(image->Row(y));
        // A write that failed fails the whole file: the rows left are not worth encoding.
        if (status & kFailed) return kFailed;
    }
    status |= FinishRows();
    return status ? kFailed : 0;
}
