#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "image/codecs/png_codec.h"
#include "image/codecs/png_rows.h"

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

    // kEndReached when IEND was reached with every row of the picture decoded
    // (or with metadataOnly, which skips the image data), kStopped when
    // reading stopped on a fault, kNotPng when the signature is wrong (the
    // image is then untouched). On failure `reason` says why; image data that
    // end before the last row, or turn out damaged, are such a fault
    // ("PNG: image data end at row 1 of 100000000"). A plain memory image
    // gets its pixel buffer grown as the rows arrive, so a header that claims
    // a huge picture costs no memory until its data does; such an image is
    // left empty when the decode stops on a fault. Other image kinds are
    // created at the header's size.
    int Decode(int metadataOnly);

    // Reads and dispatches the chunk at nextChunk. 0 or kFailed.
    uint32_t ReadNextChunk();

    ZStream zstream;
    Data data;
    int metadataOnly = 0;
    uint64_t maxPixels = kDefaultMaxPixels;

  private:
    uint32_t DecodeImage(uint64_t offset, uint32_t length);
    // 0 when every row was decoded, else kFailed with the reason noted.
    uint32_t DecodeRows(uint32_t width, uint32_t height, int interlaced);
    // Why the rows stopped at the row under way: the compressed data's fault,
    // or their end.
    uint32_t RefuseShortData();
    // Where row y of the picture goes; null when memory for it ran out.
    mtxColor* PictureRow(uint32_t y);
    // Hands the grown buffer to the image.
    void GiveRows();
    // Room for one more unfiltered row of bytes; null when memory ran out.
    uint8_t* KeepRow(uint32_t bytes);
    // Converts the kept rows into the picture (pixels: one row's worth of
    // room); 0 when memory ran out.
    int PlaceKeptRows(const mtxPngRows::Format& format, uint32_t* pixels);

    int failed_ = 0;        // a chunk could not be read: the load fails
    int imageStarted_ = 0;  // the image was created from the first IDAT
    int imageDone_ = 0;     // every row of the picture was decoded
    int locked_ = 0;
    int interlaced_ = 0;      // progress of DecodeRows, for reasons: the pass
    int pass_ = -1;           // under way (-1 without interlacing) and the row
    uint32_t row_ = 0;        // being decoded
    char chunkType_[5] = {};  // of the chunk being read, for reasons

    // The pixel buffer of a plain memory image, grown as rows arrive: a malloc
    // block of grownRows_ rows, handed to the image once the picture is whole.
    struct FreeDeleter {
        void operator()(void* p) const { std::free(p); }
    };
    int growing_ = 0;
    std::unique_ptr<mtxColor[], FreeDeleter> grown_;
    uint32_t grownRows_ = 0;
    // The unfiltered rows of a picture converted once it is whole, in the
    // order they came (pass after pass when interlaced).
    std::unique_ptr<uint8_t[], FreeDeleter> keptRows_;
    size_t kept_ = 0, keptCapacity_ = 0;
};
