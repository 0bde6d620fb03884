#pragma once
// The chunk framework shared by the PNG reader and writer (ISO/IEC 15948
// section 5): chunk kinds of PNG, MNG and JNG, CRC-32, and the chunk objects
// that keep what each chunk said.
#include <cstdint>
#include <string>

#include "image/codecs/deflate.h"
#include "image/image.h"
#include "image/image_converter.h"

// Codecs of chunked formats. Offsets are file offsets; statuses are COM
// style (0 success, kFailed).
class mtxImageCodecXng : public mtxImageCodec {
  public:
    static constexpr uint32_t kFailed = mtxCompressor::kFailed;

    // Chunk kinds: the type compared with its case bits cleared.
    enum Kind : uint32_t {
        kOther = 0,
        kIHDR = 1,
        kIDAT,
        kPLTE,
        kIEND,
        kBKGD,
        kGAMA,
        kCHRM,
        kHIST,
        kSBIT,
        kTRNS,
        kPHYS,
        kTIME,
        kTEXT,
        kZTXT,
        kAMTN,
        kMHDR,
        kMEND,
        kLOOP,
        kENDL,
        kDEFI,
        kBASI,
        kCLON,
        kPAST,
        kDISC,
        kBACK,
        kFRAM,
        kCLIP,
        kSHOW,
        kTERM,
        kSAVE,
        kSEEK,
        kEXPI,
        kFPRI,
        kNEED,
        kJHDR,
        kJDAT,
        kJSEP,
        kDHDR,
        kPROM,
        kIPNG,
        kPPLT,
        kIJNG,
        kDROP,
        kDBYK,
        kORDR,
        kICCP,
        kSRGB,
        kOFFS
    };
    // Property bits of a type as written (section 5.4), and the read flag.
    static constexpr uint32_t kAncillary = 0x100, kPrivate = 0x200, kReserved = 0x400,
                              kSafeToCopy = 0x800, kKindMask = 0xFF, kChunkRead = 0x1000;

    // The kind of a 4-byte chunk type plus its property bits.
    static uint32_t Classify(const uint8_t type[4]);

    class Chunk {
      public:
        Chunk() = default;
        virtual void Reset();
        virtual ~Chunk();
        // Reads the chunk's data (length bytes at offset). Only the first
        // chunk of a kind counts: later ones return 0 unread. 0 or kFailed.
        virtual uint32_t ReadChunk(uint64_t offset, uint32_t length);

        bool IsRead() const { return (flags & kChunkRead) != 0; }
        // Sets the read flag; 0 when it was set already.
        bool MarkRead();

        uint32_t flags = 0;
        mtxImageCodecXng* owner = nullptr;
    };

    class Palette : public Chunk {
      public:
        Palette() { Reset(); }
        void Reset() override;
        uint32_t ReadChunk(uint64_t offset, uint32_t length) override;

        uint32_t count = 0;
        mtxColor entries[256];
    };

    mtxImageCodecXng();
    ~mtxImageCodecXng() override;
    // Binds the codec to an open file and an image.
    void Setup(mtxFile* boundFile, mtxImage* boundImage, uint32_t codecFlags);

    // Reads exactly count bytes at offset; 0 when the file holds fewer.
    int ReadAt(uint64_t offset, void* buffer, uint32_t count);
    // CRC-32 of the chunk's type and data against the 4 bytes after them.
    int CheckCrc(uint64_t offset, uint32_t length);
    void BuildCrcTable();
    uint32_t UpdateCrc(uint32_t crc, const uint8_t* data, size_t size) const;
    // Notes why reading stopped, as "PNG: <text>", unless a reason was noted
    // already (the first fault is the one a person needs); returns kFailed.
    uint32_t Refuse(const std::string& text);

    mtxCompressorZLIB<15, 3> compressor;
    uint32_t crcTable[256] = {};  // reflected CRC-32, polynomial 0xEDB88320
    Palette palette;
    uint64_t nextChunk = 0;
    uint32_t chunkCount = 0;
    // Why the last run failed, for a person ("PNG: CRC mismatch in IDAT");
    // empty after a run that succeeded.
    std::string reason;

  private:
    uint32_t crcSlices_[7][256] = {};  // the same CRC eight bytes at a time
};

// PNG's chunks (ISO/IEC 15948 section 11).
class mtxImageCodecPng : public mtxImageCodecXng {
  public:
    using Chunk = mtxImageCodecXng::Chunk;

    class Header : public Chunk {
      public:
        Header() { Reset(); }
        void Reset() override;
        uint32_t ReadChunk(uint64_t offset, uint32_t length) override;
        virtual uint32_t WriteChunk(mtxImageCodecPng& codec);
        // Bits per pixel, and bytes per complete row of count pixels.
        uint32_t BitsPerPixel() const;
        uint64_t RowBytes(uint64_t count) const { return (count * BitsPerPixel() + 7) / 8; }

        uint32_t width, height, bitDepth, colorType, compression, filter, interlace;
    };

    class End : public Chunk {
      public:
        uint32_t ReadChunk(uint64_t offset, uint32_t length) override;
        virtual uint32_t WriteChunk(mtxImageCodecPng& codec);
    };

    // A colour key (types 0 and 2) or palette alphas (type 3).
    class Transparency : public Chunk {
      public:
        Transparency() { Reset(); }
        void Reset() override;
        uint32_t ReadChunk(uint64_t offset, uint32_t length) override;

        mtxColor key;
        uint16_t samples[3];  // the key's samples as stored, at the image's depth
    };

    class Background : public Chunk {
      public:
        Background() { Reset(); }
        void Reset() override;
        uint32_t ReadChunk(uint64_t offset, uint32_t length) override;
        uint16_t values[3];
    };

    class Gamma : public Chunk {
      public:
        uint32_t ReadChunk(uint64_t offset, uint32_t length) override;
        void Reset() override;
        uint32_t gamma = 0;  // times 100000
    };

    class Time : public Chunk {
      public:
        uint32_t ReadChunk(uint64_t offset, uint32_t length) override;
        void Reset() override;
        uint16_t year = 0;
        uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
    };

    // Chunks that are only noted as read.
    class Chromaticities : public Chunk {};
    class Histogram : public Chunk {};
    class PixelDimensions : public Chunk {};
    class SignificantBits : public Chunk {};
    class Text : public Chunk {};
    class ZText : public Chunk {};

    // The private thumbnail chunk "amTn": pixel type (0: 4 bytes per pixel,
    // blue green red alpha; 2: one grey byte, read back as opaque grey), a
    // reserved 0, width and height bytes, then the pixels top row first.
    // Reading happens only with a target set: the chunk is refused when too
    // short for its pixels, of another pixel type or of zero size, and is
    // otherwise scaled into the target (ResizeImage flags 0); a target
    // without a size first takes the thumbnail's size, so it receives the
    // stored pixels unchanged. Writing, when enabled, scales the codec's image
    // to thumbWidth x thumbHeight; grey is 0.299 R + 0.587 G + 0.114 B
    // truncated. Set target and writeEnabled after Setup; Reset clears them.
    class ThumbNail : public Chunk {
      public:
        ThumbNail() { Reset(); }
        void Reset() override;
        uint32_t ReadChunk(uint64_t offset, uint32_t length) override;
        virtual uint32_t WriteChunk(mtxImageCodecPng& codec);

        uint8_t pixelType, reserved, thumbWidth, thumbHeight;
        int writeEnabled;
        mtxImage* target;  // not owned; nothing is read without one
    };

    mtxImageCodecPng();
    // The chunk object of a kind, or null for kinds PNG does not keep.
    Chunk* ChunkFor(uint32_t kind);
    void ResetChunks();
    // Writes one chunk: length, type, data and CRC. 0 or kFailed.
    uint32_t WriteChunkData(const char type[4], const uint8_t* data, uint32_t length);

    Header header;
    End end;
    Transparency transparency;
    Background background;
    Chromaticities chromaticities;
    Gamma gamma;
    Histogram histogram;
    PixelDimensions pixelDimensions;
    SignificantBits significantBits;
    Time time;
    Text text;
    ZText ztext;
    ThumbNail thumbNail;
};

// The 8-byte PNG signature (section 5.2).
extern const uint8_t kPngSignature[8];
