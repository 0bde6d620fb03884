#pragma once
#include <cstdint>
#include <memory>

#include "image/codecs/png_codec.h"

// Reads a PNG file into an A8R8G8B8 image: every colour type and bit depth,
// Adam7 interlacing, palette and colour-key transparency. Gamma, chromaticity,
// significant bits and background are kept but not applied.
//
// The file is hostile until proven otherwise: chunk lengths, CRCs, IHDR sizes
// and the compressed data are checked before anything is allocated or read.
class mtxImageDecoderPng : public mtxImageCodecPng {
  public:
    // Decode results: bit 1 set means failure.
    static constexpr int kEndReached = 1, kStopped = 2, kNotPng = 258;
    // Pictures above this many pixels are refused before any allocation.
    static constexpr uint64_t kDefaultMaxPixels = uint64_t(1) << 28;

    // The compressed image data: serves the data of the current IDAT chunk and
    // reads the following chunks when it runs dry.
    class ZStream : public mtxFile {
      public:
        explicit ZStream(mtxImageDecoderPng& owner) : owner_(owner) {}
        void Point(uint64_t offset, uint32_t length);
        uint32_t Read(void* buffer, uint32_t count) override;
        int64_t GetPosition() override { return static_cast<int64_t>(offset_); }

      private:
        mtxImageDecoderPng& owner_;
        uint64_t offset_ = 0;
        uint32_t left_ = 0;
    };

    // IDAT: the first one decodes the picture, later ones feed the ZStream.
    class Data : public Chunk {
      public:
        uint32_t ReadChunk(uint64_t offset, uint32_t length) override;
    };

    mtxImageDecoderPng();
    mtxImageDecoderPng(mtxFile* boundFile, mtxImage* boundImage, uint32_t codecFlags = 0);

    // Decode(0).
    int Run() override { return Decode(0); }
    // Resets every chunk object; returns 0.
    int Reset() override;
    // 1 when the file starts with the PNG signature.
    int CheckSignature() override;
    // Acts on one chunk; 0, or kFailed to stop reading.
    virtual uint32_t DispatchChunk(uint32_t kind, uint64_t offset, uint32_t length);

    // kEndReached when IEND was reached with the picture decoded (or with
    // metadataOnly, which skips the image data), kStopped when reading
    // stopped on a fault, kNotPng when the signature is wrong (the image is
    // then untouched). On failure `reason` says why. A plain memory image
    // gets its pixels as the rows arrive (rows the data never reached are
    // made opaque black at IEND), so a header that claims a huge picture
    // costs no memory until its data does; such an image is left empty when
    // the decode stops on a fault. Other image kinds are created filled.
    int Decode(int metadataOnly);

    // Reads and dispatches the chunk at nextChunk. 0 or kFailed.
    uint32_t ReadNextChunk();

    ZStream zstream;
    Data data;
    int metadataOnly = 0;
    uint64_t maxPixels = kDefaultMaxPixels;

  private:
    uint32_t DecodeImage(uint64_t offset, uint32_t length);
    // 0 when the row buffers cannot be allocated; 1 otherwise, also when the
    // compressed data ends early.
    int DecodeRows(uint32_t width, uint32_t height, int interlaced);
    // Whether row y has been given pixels, by the progress of DecodeRows.
    bool RowReached(uint32_t y) const;
    void FillUnreachedRows();

    int failed_ = 0;        // a chunk could not be read: the load fails
    int imageStarted_ = 0;  // the image was created from the first IDAT
    int locked_ = 0;
    int unset_ = 0;           // the image was created with its pixels unset
    int interlaced_ = 0;      // progress of DecodeRows: the pass under way (-1
    int pass_ = -1;           // without interlacing, 7 when all are done) and
    uint32_t nextRow_ = 0;    // the next row of that pass
    char chunkType_[5] = {};  // of the chunk being read, for reasons
};
