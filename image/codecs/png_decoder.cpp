#include "image/codecs/png_decoder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "image/codecs/png_rows.h"

namespace {

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Adam7 (section 8.2): row step, column step, first row, first column.
constexpr uint32_t kPasses[7][4] = {{8, 8, 0, 0}, {8, 8, 0, 4}, {8, 4, 4, 0}, {4, 4, 0, 2},
                                    {4, 2, 2, 0}, {2, 2, 0, 1}, {2, 1, 1, 0}};

// Row buffers are refused beyond this many bytes, far past any real picture.
constexpr uint64_t kMaxRowBytes = uint64_t(1) << 30;

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
    if (fileLength < 0 || uint64_t(fileLength) < nextChunk || uint64_t(fileLength) - nextChunk < 12)
        return kFailed;
    uint8_t head[8];
    if (!ReadAt(nextChunk, head, 8)) return kFailed;
    uint32_t length = BigEndian32(head);
    // Section 5.3: the data and its CRC must be inside the file.
    if (uint64_t(length) + 4 > uint64_t(fileLength) - nextChunk - 8) return kFailed;
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
    if (!CheckCrc(offset, length)) return kFailed;
    return chunk->ReadChunk(offset, length);
}

int mtxImageDecoderPng::Decode(int metadata) {
    metadataOnly = metadata;
    failed_ = imageStarted_ = locked_ = 0;
    BuildCrcTable();
    if (!CheckSignature()) return kNotPng;
    nextChunk = 8;
    chunkCount = 0;
    while (!end.IsRead() && !failed_) {
        if (ReadNextChunk() != 0) break;
    }
    if (locked_ && image) image->Unlock();
    locked_ = 0;
    // A file that ends without its picture data is no picture.
    bool complete = end.IsRead() && !failed_ && (metadataOnly || imageStarted_);
    return complete ? kEndReached : kStopped;
}

uint32_t mtxImageDecoderPng::DecodeImage(uint64_t offset, uint32_t length) {
    if (!header.IsRead() || (header.colorType == 3 && !palette.IsRead()) || !image) return kFailed;
    // Sizes are checked before anything is allocated: rows of more than 1 GB
    // and pictures beyond maxPixels are refused, not attempted.
    const uint64_t w = header.width, h = header.height;
    if (w > 0x7FFFFFFF || h > 0x7FFFFFFF || w * h > maxPixels) return kFailed;
    if (header.RowBytes(w) + 1 > kMaxRowBytes) return kFailed;
    if (!image->Create(static_cast<int>(w), static_cast<int>(h), 0xFF000000u)) return kFailed;
    if (!image->Lock()) return kFailed;
    locked_ = 1;
    imageStarted_ = 1;
    zstream.Point(offset, length);
    compressor.SetInput(&zstream);
    compressor.BeginDecompress();
    DecodeRows(header.width, header.height, header.interlace == 1);
    return 0;
}

void mtxImageDecoderPng::DecodeRows(uint32_t width, uint32_t height, int interlaced) {
    const uint32_t bitsPerPixel = header.BitsPerPixel();
    const uint32_t bpp = std::max(1u, bitsPerPixel / 8);
    const uint32_t fullRow = static_cast<uint32_t>(header.RowBytes(width));
    // The filter byte sits in front of each row; 8 spare bytes let
    // converters of small samples read a whole last byte safely.
    std::unique_ptr<uint8_t[]> cur(new (std::nothrow) uint8_t[fullRow + 16]());
    std::unique_ptr<uint8_t[]> prev(new (std::nothrow) uint8_t[fullRow + 16]());
    std::unique_ptr<uint32_t[]> pixels(new (std::nothrow) uint32_t[width]);
    if (!cur || !prev || !pixels) return;

    mtxPngRows::Format format;
    format.colorType = header.colorType;
    format.bitDepth = header.bitDepth;
    format.palette = palette.entries;
    format.hasKey = transparency.IsRead() && (header.colorType == 0 || header.colorType == 2);
    std::copy(transparency.samples, transparency.samples + 3, format.key);

    for (int pass = interlaced ? 0 : -1; pass < (interlaced ? 7 : 0); ++pass) {
        const uint32_t dy = pass < 0 ? 1 : kPasses[pass][0], dx = pass < 0 ? 1 : kPasses[pass][1];
        const uint32_t y0 = pass < 0 ? 0 : kPasses[pass][2], x0 = pass < 0 ? 0 : kPasses[pass][3];
        if (x0 >= width || y0 >= height) continue;  // an empty pass has no rows at all
        const uint32_t count = (width - x0 + dx - 1) / dx;
        const uint32_t bytes = static_cast<uint32_t>(header.RowBytes(count));
        std::memset(prev.get(), 0, bytes + 1);
        for (uint32_t y = y0; y < height; y += dy) {
            if (compressor.Inflate(cur.get(), bytes + 1) != bytes + 1) return;
            mtxPngRows::Unfilter(cur[0], cur.get() + 1, prev.get() + 1, bytes, bpp);
            mtxColor* out = image->Row(static_cast<int>(y));
            if (dx == 1) {
                mtxPngRows::Convert(format, cur.get() + 1, count, out);
            } else {
                mtxPngRows::Convert(format, cur.get() + 1, count, pixels.get());
                for (uint32_t i = 0, x = x0; i < count; ++i, x += dx) out[x] = pixels[i];
            }
            std::swap(cur, prev);
        }
    }
}
