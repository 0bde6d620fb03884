// The program's own reader of Windows and OS/2 bitmap files: every header kind
// (BITMAPCOREHEADER, the OS/2 2.x header, BITMAPINFOHEADER and its V2 to V5
// successors), 1, 2, 4, 8, 16, 24 and 32 bits per pixel, RLE4, RLE8, bit
// fields, rows bottom-up or top-down. Pictures come out opaque: an alpha
// channel of the file is ignored, as the system loader renders bitmaps.
#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/pictures/picture_decoders.h"

namespace {

constexpr const char* kCodec = "BMP";
constexpr uint32_t kOpaque = 0xFF000000u;

enum Compression : uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kJpeg = 4,
    kPng = 5,
    kAlphaBitFields = 6,
};

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// One colour channel described by a bit mask: the field is shifted down and
// scaled to 0..255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    explicit Channel(uint32_t m = 0) : mask(m) {
        if (!mask) return;
        shift = std::countr_zero(mask);
        max = mask >> shift;
    }
    uint32_t Get(uint32_t pixel) const {
        if (!max) return 0;
        uint64_t v = (pixel & mask) >> shift;
        return static_cast<uint32_t>((v * 255 + max / 2) / max);
    }
};

struct Header {
    int64_t width = 0;
    int64_t height = 0;  // negative: rows top-down
    uint32_t bitCount = 0;
    uint32_t compression = kRgb;
    uint32_t colorsUsed = 0;
    uint32_t masks[3] = {};  // red, green, blue
    size_t paletteOffset = 0;
    uint32_t paletteEntrySize = 4;
    size_t pixelOffset = 0;
};

// Reads the file and information headers and the masks; the palette and pixel
// positions are filled in. Returns 0 with the error set for what it refuses.
int ReadHeader(const uint8_t* data, size_t size, Header& h, std::string* error) {
    if (size < 18 || data[0] != 'B' || data[1] != 'M')
        return mtxPictureError(error, kCodec, "file too short for its headers");
    uint32_t dataOffset = U32(data + 10);
    uint32_t headerSize = U32(data + 14);
    if (headerSize < 12 || headerSize > size - 14)
        return mtxPictureError(error, kCodec,
                               "information header of " + std::to_string(headerSize) +
                                   " bytes does not fit the file of " + std::to_string(size));
    const uint8_t* info = data + 14;
    size_t after = 14 + size_t(headerSize);
    if (headerSize == 12) {  // BITMAPCOREHEADER
        h.width = U16(info + 4);
        h.height = U16(info + 6);
        h.bitCount = U16(info + 10);
        h.paletteEntrySize = 3;
    } else {
        if (headerSize < 16)
            return mtxPictureError(error, kCodec,
                                   "unknown header size " + std::to_string(headerSize));
        // Fields that a short OS/2 2.x header leaves out count as 0.
        uint8_t fields[56] = {};
        std::memcpy(fields, info, std::min<size_t>(headerSize, sizeof fields));
        h.width = static_cast<int32_t>(U32(fields + 4));
        h.height = static_cast<int32_t>(U32(fields + 8));
        h.bitCount = U16(fields + 14);
        h.compression = U32(fields + 16);
        h.colorsUsed = U32(fields + 32);
        if (headerSize == 64 && h.compression == kBitFields)
            return mtxPictureError(error, kCodec, "OS/2 Huffman compression is not supported");
        if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
            if (headerSize >= 52) {
                for (int i = 0; i < 3; ++i) h.masks[i] = U32(fields + 40 + 4 * i);
            } else {
                // The masks follow a BITMAPINFOHEADER, before the palette.
                size_t count = h.compression == kAlphaBitFields ? 4 : 3;
                if (size - after < 4 * count)
                    return mtxPictureError(error, kCodec, "file ends inside the bit masks");
                for (int i = 0; i < 3; ++i) h.masks[i] = U32(data + after + 4 * i);
                after += 4 * count;
            }
        }
    }
    h.paletteOffset = after;
    // A pixel offset that points inside the headers or past the end is
    // ignored: the pixels then follow the palette.
    size_t paletteBytes = 0;
    if (h.bitCount <= 8) {
        uint32_t entries = h.colorsUsed ? std::min<uint32_t>(h.colorsUsed, 256) : 1u << h.bitCount;
        paletteBytes = size_t(entries) * h.paletteEntrySize;
    } else if (h.colorsUsed && h.colorsUsed <= 256) {
        paletteBytes = size_t(h.colorsUsed) * h.paletteEntrySize;  // unused by true colour
    }
    if (dataOffset >= after && dataOffset < size)
        h.pixelOffset = dataOffset;
    else
        h.pixelOffset = std::min(size, after + paletteBytes);
    return 1;
}

// The palette as opaque pixels; entries missing from the file, and indices
// beyond those the file declares, read as black.
void ReadPalette(const uint8_t* data, const Header& h, uint32_t palette[256]) {
    std::fill(palette, palette + 256, kOpaque);
    uint32_t entries = h.colorsUsed ? std::min<uint32_t>(h.colorsUsed, 256) : 1u << h.bitCount;
    size_t end = h.pixelOffset;
    for (uint32_t i = 0; i < entries; ++i) {
        size_t at = h.paletteOffset + size_t(i) * h.paletteEntrySize;
        if (at + 3 > end) break;
        palette[i] =
            kOpaque | uint32_t(data[at + 2]) << 16 | uint32_t(data[at + 1]) << 8 | data[at];
    }
}

// Uncompressed rows of any depth.
int ReadRows(const uint8_t* data, size_t size, const Header& h, uint32_t* out, std::string* error) {
    int width = static_cast<int>(h.width);
    int height = static_cast<int>(std::abs(h.height));
    uint64_t stride = (uint64_t(width) * h.bitCount + 31) / 32 * 4;
    uint64_t need = stride * uint64_t(height);
    if (h.pixelOffset > size || size - h.pixelOffset < need)
        return mtxPictureError(error, kCodec,
                               "pixel data cut short: " + std::to_string(need) + " bytes needed, " +
                                   std::to_string(size - std::min(size, h.pixelOffset)) +
                                   " present");
    uint32_t palette[256];
    if (h.bitCount <= 8) ReadPalette(data, h, palette);
    uint32_t masks[3] = {h.masks[0], h.masks[1], h.masks[2]};
    if (h.compression == kRgb && h.bitCount == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (h.compression == kRgb && h.bitCount == 32) {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    }
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
    bool plain32 =
        h.bitCount == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = data + h.pixelOffset + stride * uint64_t(y);
        uint32_t* dst = out + size_t(h.height > 0 ? height - 1 - y : y) * size_t(width);
        switch (h.bitCount) {
            case 1:
            case 2:
            case 4:
            case 8: {
                int bits = static_cast<int>(h.bitCount);
                int perByte = 8 / bits;
                uint32_t mask = (1u << bits) - 1;
                for (int x = 0; x < width; ++x) {
                    int shift = 8 - bits * (x % perByte + 1);
                    dst[x] = palette[(row[x / perByte] >> shift) & mask];
                }
                break;
            }
            case 24:
                for (int x = 0; x < width; ++x, row += 3)
                    dst[x] = kOpaque | uint32_t(row[2]) << 16 | uint32_t(row[1]) << 8 | row[0];
                break;
            case 16:
                for (int x = 0; x < width; ++x, row += 2) {
                    uint32_t p = U16(row);
                    dst[x] = kOpaque | red.Get(p) << 16 | green.Get(p) << 8 | blue.Get(p);
                }
                break;
            case 32:
                if (plain32) {
                    for (int x = 0; x < width; ++x, row += 4) dst[x] = kOpaque | U32(row);
                } else {
                    for (int x = 0; x < width; ++x, row += 4) {
                        uint32_t p = U32(row);
                        dst[x] = kOpaque | red.Get(p) << 16 | green.Get(p) << 8 | blue.Get(p);
                    }
                }
                break;
        }
    }
    return 1;
}

// RLE8 and RLE4. Pixels the stream skips (deltas, early line ends, an early
// end) stay black; runs beyond the right edge are clipped; the stream ends at
// its end-of-bitmap code or after the last row. A file that ends before the
// stream reached its last row is cut short and refused, as uncompressed rows
// cut short are. out reads as zero on entry and only the pixels the stream
// sets are written until it is known complete: a header that claims a huge
// bitmap costs memory only as far as its data reaches.
int ReadRle(const uint8_t* data, size_t size, const Header& h, uint32_t* out, std::string* error) {
    int width = static_cast<int>(h.width);
    int height = static_cast<int>(std::abs(h.height));
    uint32_t palette[256];
    ReadPalette(data, h, palette);
    bool four = h.compression == kRle4;
    const uint8_t* p = data + std::min(h.pixelOffset, size);
    const uint8_t* end = data + size;
    int64_t x = 0, y = 0;
    bool ended = false;
    auto put = [&](uint32_t index) {
        if (x < width && y < height)
            out[size_t(h.height > 0 ? height - 1 - y : y) * size_t(width) + size_t(x)] =
                palette[index];
        ++x;
    };
    while (end - p >= 2 && y < height) {
        uint32_t count = p[0], value = p[1];
        p += 2;
        if (count) {
            count =
                static_cast<uint32_t>(std::min<int64_t>(count, std::max<int64_t>(width - x, 0)));
            for (uint32_t i = 0; i < count; ++i)
                put(four ? (i & 1 ? value & 15 : value >> 4) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            ended = true;
            break;
        } else if (value == 2) {  // delta
            if (end - p < 2) break;
            x += p[0];
            y += p[1];
            p += 2;
        } else {  // absolute run of `value` pixels, padded to 16 bits
            size_t bytes = four ? (value + 1) / 2 : value;
            bytes += bytes & 1;
            if (size_t(end - p) < bytes) bytes = size_t(end - p) & ~size_t(1);
            uint32_t pixels =
                static_cast<uint32_t>(std::min<size_t>(value, four ? bytes * 2 : bytes));
            for (uint32_t i = 0; i < pixels && x < width; ++i)
                put(four ? (i & 1 ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i]);
            p += bytes;
        }
    }
    if (!ended && y < height - 1)
        return mtxPictureError(error, kCodec,
                               "RLE data ends at row " + std::to_string(y) + " of " +
                                   std::to_string(height) + " without its end-of-bitmap code");
    // Every pixel the stream set is opaque, so a zero is one it skipped.
    size_t count = size_t(width) * size_t(height);
    for (size_t i = 0; i < count; ++i)
        if (!out[i]) out[i] = kOpaque;
    return 1;
}

}  // namespace

int mtxDecodeBmp(const uint8_t* data, size_t size, mtxPictureSink& sink, std::string* error) {
    Header h;
    if (!ReadHeader(data, size, h, error)) return 0;
    if (!mtxCheckPictureSize(kCodec, h.width, std::abs(h.height), error)) return 0;

    bool supported = false;
    switch (h.compression) {
        case kRgb:
            supported = h.bitCount == 1 || h.bitCount == 2 || h.bitCount == 4 || h.bitCount == 8 ||
                        h.bitCount == 16 || h.bitCount == 24 || h.bitCount == 32;
            break;
        case kRle8:
            supported = h.bitCount == 8;
            break;
        case kRle4:
            supported = h.bitCount == 4;
            break;
        case kBitFields:
        case kAlphaBitFields:
            supported = h.bitCount == 16 || h.bitCount == 32;
            break;
        case kJpeg:
        case kPng:
            return mtxPictureError(error, kCodec, "embedded JPEG or PNG data is not supported");
        default:
            return mtxPictureError(error, kCodec,
                                   "unknown compression " + std::to_string(h.compression));
    }
    if (!supported)
        return mtxPictureError(error, kCodec,
                               std::to_string(h.bitCount) + " bits per pixel with compression " +
                                   std::to_string(h.compression) + " is not a valid bitmap");

    int width = static_cast<int>(h.width), height = static_cast<int>(std::abs(h.height));
    if (h.compression == kRle8 || h.compression == kRle4) {
        uint32_t* out = sink.Allocate(width, height);
        if (!out) return mtxPictureError(error, kCodec, "out of memory");
        return ReadRle(data, size, h, out, error);
    }
    // The pixel data must be present before the picture is allocated.
    uint64_t stride = (uint64_t(width) * h.bitCount + 31) / 32 * 4;
    if (h.pixelOffset > size || size - h.pixelOffset < stride * uint64_t(height))
        return ReadRows(data, size, h, nullptr, error);  // reports the shortfall
    uint32_t* out = sink.Allocate(width, height);
    if (!out) return mtxPictureError(error, kCodec, "out of memory");
    return ReadRows(data, size, h, out, error);
}
