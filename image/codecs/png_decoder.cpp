#include "image/codecs/png_decoder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <typeinfo>
#include <vector>

#include "image/codecs/png_rows.h"
#include "platform/picture_loader.h"

namespace {

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Adam7 (section 8.2): row step, column step, first row, first column.
constexpr uint32_t kPasses[7][4] = {{8, 8, 0, 0}, {8, 8, 0, 4}, {8, 4, 4, 0}, {4, 4, 0, 2},
                                    {4, 2, 2, 0}, {2, 2, 0, 1}, {2, 1, 1, 0}};

// The rows and columns of pass p (-1: the whole picture, without interlacing).
struct PassShape {
    uint32_t dy, dx, y0, x0;
};
PassShape Shape(int p) {
    if (p < 0) return {1, 1, 0, 0};
    return {kPasses[p][0], kPasses[p][1], kPasses[p][2], kPasses[p][3]};
}

// Pixel buffers above this size come from mtxAllocatePixels.
constexpr size_t kHugePagesFrom = size_t(32) << 20;

// Row buffers are refused beyond this many bytes, far past any real picture.
constexpr uint64_t kMaxRowBytes = uint64_t(1) << 30;
constexpr mtxColor kBlack = 0xFF000000u;

std::string Size(uint64_t w, uint64_t h) {
    return std::to_string(w) + " x " + std::to_string(h) + " pixels";
}

// Bytes that read as zero and cost no memory until written: the pages of a
// large calloc block come fresh from the system.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
std::unique_ptr<T[], FreeDeleter> Zeroed(size_t count) {
    return std::unique_ptr<T[], FreeDeleter>(static_cast<T*>(std::calloc(count, sizeof(T))));
}

}  // namespace

void mtxImageDecoderPng::ZStream::Point(uint64_t offset, uint32_t length) {
    offset_ = offset;
    left_ = length;
}

uint32_t mtxImageDecoderPng::ZStream::Read(void* buffer, uint32_t count) {
    // Chunks between IDATs are read (and acted on) as they come; reading
    // stops at a chunk that cannot be read and after IEND.
    while (left_ == 0) {
        if (owner_.end.IsRead() || owner_.failed_) return 0;
        if (owner_.ReadNextChunk() != 0) {
            owner_.failed_ = 1;
            return 0;
        }
    }
    uint32_t n = std::min(count, left_);
    if (!owner_.ReadAt(offset_, buffer, n)) {
        owner_.failed_ = 1;
        return 0;
    }
    offset_ += n;
    left_ -= n;
    return n;
}

uint32_t mtxImageDecoderPng::Data::ReadChunk(uint64_t offset, uint32_t length) {
    auto* decoder = static_cast<mtxImageDecoderPng*>(owner);
    if (!MarkRead()) {
        decoder->zstream.Point(offset, length);  // a later IDAT continues the stream
        return 0;
    }
    return decoder->DecodeImage(offset, length);
}

mtxImageDecoderPng::mtxImageDecoderPng() : zstream(*this) {
    data.owner = this;
}

mtxImageDecoderPng::mtxImageDecoderPng(mtxFile* boundFile, mtxImage* boundImage,
                                       uint32_t codecFlags)
    : mtxImageDecoderPng() {
    Setup(boundFile, boundImage, codecFlags);
}

int mtxImageDecoderPng::Reset() {
    ResetChunks();
    data.Reset();
    data.owner = this;
    return 0;
}

int mtxImageDecoderPng::CheckSignature() {
    uint8_t head[8];
    if (!file || file->Seek(0, 0) != 0 || file->Read(head, 8) != 8) return 0;
    return std::memcmp(head, kPngSignature, 8) == 0;
}

uint32_t mtxImageDecoderPng::ReadNextChunk() {
    int64_t fileLength = file->GetLength();
    if (fileLength < 0) return Refuse("cannot read the file");
    if (uint64_t(fileLength) <= nextChunk) return Refuse("file ends before IEND");
    if (uint64_t(fileLength) - nextChunk < 12)
        return Refuse("file ends inside a chunk at offset " + std::to_string(nextChunk));
    uint8_t head[8];
    if (!ReadAt(nextChunk, head, 8))
        return Refuse("cannot read the chunk at offset " + std::to_string(nextChunk));
    for (int i = 0; i < 4; ++i)
        chunkType_[i] = head[4 + i] >= 0x20 && head[4 + i] < 0x7F ? char(head[4 + i]) : '?';
    uint32_t length = BigEndian32(head);
    // Section 5.3: the data and its CRC must be inside the file.
    if (uint64_t(length) + 4 > uint64_t(fileLength) - nextChunk - 8)
        return Refuse(std::string(chunkType_) + " of " + std::to_string(length) +
                      " bytes runs past the end of the file");
    uint64_t offset = nextChunk + 8;
    nextChunk += uint64_t(length) + 12;
    ++chunkCount;
    return DispatchChunk(Classify(head + 4), offset, length);
}

uint32_t mtxImageDecoderPng::DispatchChunk(uint32_t kind, uint64_t offset, uint32_t length) {
    uint32_t k = kind & kKindMask;
    if (!((k >= kIHDR && k <= kTIME) || k == kAMTN)) return 0;  // unknown chunks are skipped
    if (k == kIDAT && metadataOnly) return 0;
    Chunk* chunk = k == kIDAT ? static_cast<Chunk*>(&data) : ChunkFor(k);
    chunk->flags |= kind & ~kChunkRead;
    if (!CheckCrc(offset, length)) return Refuse("CRC mismatch in " + std::string(chunkType_));
    return chunk->ReadChunk(offset, length);
}

int mtxImageDecoderPng::Decode(int metadata) {
    metadataOnly = metadata;
    failed_ = imageStarted_ = imageDone_ = locked_ = growing_ = 0;
    grown_.reset();
    grownRows_ = 0;
    keptRows_.reset();
    kept_ = keptCapacity_ = 0;
    reason.clear();
    BuildCrcTable();
    if (!CheckSignature()) {
        reason = "PNG: no PNG signature";
        return kNotPng;
    }
    nextChunk = 8;
    chunkCount = 0;
    // Memory running short anywhere below is a refused picture, like any
    // other fault of the file.
    try {
        while (!end.IsRead() && !failed_) {
            if (ReadNextChunk() != 0) break;
        }
    } catch (const std::bad_alloc&) {
        Refuse("out of memory");
        failed_ = 1;
    }
    // A file that ends without its picture data, or with only part of it, is
    // no picture.
    bool complete = end.IsRead() && !failed_ && reason.empty() && (metadataOnly || imageDone_);
    if (complete && growing_) GiveRows();
    grown_.reset();
    keptRows_.reset();
    if (locked_ && image) image->Unlock();
    locked_ = 0;
    if (complete) return kEndReached;
    if (reason.empty()) Refuse(end.IsRead() ? "no image data before IEND" : "cannot read the file");
    return kStopped;
}

void mtxImageDecoderPng::GiveRows() {
    image->Base::Free();  // keeps the auxiliary buffer, as Create does
    image->data = grown_.release();
    image->width = static_cast<int32_t>(header.width);
    image->height = static_cast<int32_t>(header.height);
    image->pitch = image->width * 4;
    image->ownsData = 1;
}

mtxColor* mtxImageDecoderPng::PictureRow(uint32_t y) {
    if (!growing_) return image->Row(static_cast<int>(y));
    const size_t rowBytes = size_t(header.width) * 4;
    if (y >= grownRows_) {
        // The buffer doubles (at least 1 MB), so the rows are copied less
        // than once in all. A large block is taken on huge pages where the
        // system offers them: a first touch of fresh small pages costs a big
        // picture more than copying its rows.
        const size_t least = (size_t(1) << 20) / rowBytes + 1;
        const uint32_t rows = static_cast<uint32_t>(std::min<size_t>(
            header.height, std::max({size_t(y) + 1, size_t(grownRows_) * 2, least})));
        const size_t bytes = size_t(rows) * rowBytes;
        void* more = nullptr;
        if (bytes > kHugePagesFrom) {
            more = mtxAllocatePixels(bytes);
            if (more && grown_) std::memcpy(more, grown_.get(), size_t(grownRows_) * rowBytes);
        } else if ((more = std::realloc(grown_.get(), bytes))) {
            (void)grown_.release();
        }
        if (!more) return nullptr;
        grown_.reset(static_cast<mtxColor*>(more));  // frees a block that was copied
        grownRows_ = rows;
    }
    return grown_.get() + size_t(y) * header.width;
}

uint8_t* mtxImageDecoderPng::KeepRow(uint32_t bytes) {
    // 16 spare bytes past the last row, as the row buffers have, for the
    // converters of small samples.
    const size_t need = kept_ + bytes + 16;
    if (need > keptCapacity_) {
        const size_t capacity = std::max({need, keptCapacity_ * 2, size_t(1) << 20});
        void* more = std::realloc(keptRows_.get(), capacity);
        if (!more) return nullptr;
        (void)keptRows_.release();
        keptRows_.reset(static_cast<uint8_t*>(more));
        keptCapacity_ = capacity;
    }
    uint8_t* at = keptRows_.get() + kept_;
    std::memset(at + bytes, 0, 16);
    kept_ += bytes;
    return at;
}

int mtxImageDecoderPng::PlaceKeptRows(const mtxPngRows::Format& format, uint32_t* pixels) {
    const uint32_t width = header.width, height = header.height;
    const uint8_t* from = keptRows_.get();
    const int interlaced = header.interlace == 1;
    for (int pass = interlaced ? 0 : -1; pass < (interlaced ? 7 : 0); ++pass) {
        const PassShape p = Shape(pass);
        if (p.x0 >= width) continue;
        const uint32_t count = (width - p.x0 + p.dx - 1) / p.dx;
        const size_t bytes = header.RowBytes(count);
        for (uint32_t y = p.y0; y < height; y += p.dy, from += bytes) {
            mtxColor* out = PictureRow(y);
            if (!out) return 0;
            if (p.dx == 1) {
                mtxPngRows::Convert(format, from, count, out);
                continue;
            }
            mtxPngRows::Convert(format, from, count, pixels);
            for (uint32_t i = 0, x = p.x0; i < count; ++i, x += p.dx) out[x] = pixels[i];
        }
    }
    keptRows_.reset();
    kept_ = keptCapacity_ = 0;
    return 1;
}

uint32_t mtxImageDecoderPng::DecodeImage(uint64_t offset, uint32_t length) {
    if (!header.IsRead()) return Refuse("IDAT before IHDR");
    if (header.colorType == 3 && !palette.IsRead()) return Refuse("IDAT before PLTE");
    if (!image) return Refuse("no image to decode into");
    // Sizes are checked before anything is allocated: rows of more than 1 GB
    // and pictures beyond maxPixels are refused, not attempted.
    const uint64_t w = header.width, h = header.height;
    if (w > 0x7FFFFFFF || h > 0x7FFFFFFF || w * h > maxPixels)
        return Refuse("IHDR claims " + Size(w, h) + ", more than allowed");
    if (header.RowBytes(w) + 1 > kMaxRowBytes)
        return Refuse("IHDR claims rows of " + std::to_string(header.RowBytes(w)) + " bytes");
    // A plain memory image gets its memory as the data delivers rows; the
    // header alone proves nothing about the picture's size.
    growing_ = typeid(*image) == typeid(mtxImage);
    if (!growing_) {
        if (!image->Create(static_cast<int>(w), static_cast<int>(h), kBlack))
            return Refuse("out of memory for " + Size(w, h));
        if (!image->Lock()) return Refuse("cannot lock the image");
        locked_ = 1;
    }
    imageStarted_ = 1;
    zstream.Point(offset, length);
    compressor.SetInput(&zstream);
    compressor.BeginDecompress();
    if (DecodeRows(header.width, header.height, header.interlace == 1) != 0) return kFailed;
    imageDone_ = 1;
    return 0;
}

uint32_t mtxImageDecoderPng::RefuseShortData() {
    std::string where = "row " + std::to_string(row_) + " of " + std::to_string(header.height);
    if (interlaced_) where += " (pass " + std::to_string(pass_ + 1) + " of 7)";
    if (const char* fault = compressor.Fault()) return Refuse(std::string(fault) + " in " + where);
    return Refuse("image data end at " + where);
}

uint32_t mtxImageDecoderPng::DecodeRows(uint32_t width, uint32_t height, int interlaced) {
    const uint32_t bitsPerPixel = header.BitsPerPixel();
    const uint32_t bpp = std::max(1u, bitsPerPixel / 8);
    const uint32_t fullRow = static_cast<uint32_t>(header.RowBytes(width));
    interlaced_ = interlaced;
    pass_ = -1;
    row_ = 0;
    // The filter byte sits in front of each row; 8 spare bytes let
    // converters of small samples read a whole last byte safely. The first
    // row of a pass is unfiltered against a row of zeros that is never
    // written, so it costs no memory however wide the header says rows are.
    auto cur = Zeroed<uint8_t>(size_t(fullRow) + 16);
    auto prev = Zeroed<uint8_t>(size_t(fullRow) + 16);
    auto zeros = Zeroed<uint8_t>(size_t(fullRow) + 16);
    std::unique_ptr<uint32_t[]> pixels(new (std::nothrow) uint32_t[width]);
    if (!cur || !prev || !zeros || !pixels)
        return Refuse("out of memory for rows of " + std::to_string(fullRow) + " bytes");

    mtxPngRows::Format format;
    format.colorType = header.colorType;
    format.bitDepth = header.bitDepth;
    format.palette = palette.entries;
    format.hasKey = transparency.IsRead() && (header.colorType == 0 || header.colorType == 2);
    std::copy(transparency.samples, transparency.samples + 3, format.key);

    // Pixels are four bytes however few the samples are, and every pass of an
    // interlaced picture reaches rows all down the picture. A plain image
    // therefore keeps the unfiltered rows of such pictures as they come and
    // converts them once the last row is in, so a picture cut short costs no
    // more than its data delivered; RGB and RGBA rows go straight in.
    const bool keep = growing_ && (interlaced || bitsPerPixel < 24);
    for (int pass = interlaced ? 0 : -1; pass < (interlaced ? 7 : 0); ++pass) {
        const PassShape p = Shape(pass);
        pass_ = pass;
        if (p.x0 >= width || p.y0 >= height) continue;  // an empty pass has no rows at all
        const uint32_t count = (width - p.x0 + p.dx - 1) / p.dx;
        const uint32_t bytes = static_cast<uint32_t>(header.RowBytes(count));
        const uint8_t* above = zeros.get() + 1;
        for (uint32_t y = p.y0; y < height; y += p.dy) {
            row_ = y;
            if (compressor.Inflate(cur.get(), bytes + 1) != bytes + 1) return RefuseShortData();
            // ISO/IEC 15948 9.2: filter types 0 to 4 are the only ones defined.
            if (cur[0] > mtxPngRows::kPaeth)
                return Refuse("filter type " + std::to_string(cur[0]) + " in row " +
                              std::to_string(y) +
                              (interlaced ? " (pass " + std::to_string(pass + 1) + " of 7)" : ""));
            mtxPngRows::Unfilter(cur[0], cur.get() + 1, above, bytes, bpp);
            if (keep) {
                uint8_t* kept = KeepRow(bytes);
                if (!kept) return Refuse("out of memory for the rows of " + Size(width, height));
                std::memcpy(kept, cur.get() + 1, bytes);
            } else if (mtxColor* out = PictureRow(y); !out) {
                return Refuse("out of memory for " + Size(width, height));
            } else if (p.dx == 1) {
                mtxPngRows::Convert(format, cur.get() + 1, count, out);
            } else {
                mtxPngRows::Convert(format, cur.get() + 1, count, pixels.get());
                for (uint32_t i = 0, x = p.x0; i < count; ++i, x += p.dx) out[x] = pixels[i];
            }
            std::swap(cur, prev);
            above = prev.get() + 1;
        }
    }
    if (keep && !PlaceKeptRows(format, pixels.get()))
        return Refuse("out of memory for " + Size(width, height));
    return 0;
}
