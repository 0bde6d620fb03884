#include "image/codecs/png_codec.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/codecs/png_rows.h"
#include "image/resample.h"

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

namespace {

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint16_t BigEndian16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

// Bytes per thumbnail pixel: 4 for type 0 (the image's own words), 1 for
// grey (type 2); 0 for unknown types.
uint32_t ThumbPixelBytes(uint8_t pixelType) {
    return pixelType == 0 ? 4 : pixelType == 2 ? 1 : 0;
}

const char kKindNames[][5] = {
    "IHDR", "IDAT", "PLTE", "IEND", "BKGD", "GAMA", "CHRM", "HIST", "SBIT", "TRNS", "PHYS", "TIME",
    "TEXT", "ZTXT", "AMTN", "MHDR", "MEND", "LOOP", "ENDL", "DEFI", "BASI", "CLON", "PAST", "DISC",
    "BACK", "FRAM", "CLIP", "SHOW", "TERM", "SAVE", "SEEK", "EXPI", "FPRI", "NEED", "JHDR", "JDAT",
    "JSEP", "DHDR", "PROM", "IPNG", "PPLT", "IJNG", "DROP", "DBYK", "ORDR", "ICCP", "SRGB", "OFFS"};

}  // namespace

uint32_t mtxImageCodecXng::Classify(const uint8_t type[4]) {
    char upper[4];
    for (int i = 0; i < 4; ++i) upper[i] = static_cast<char>(type[i] & 0xDF);
    uint32_t kind = kOther;
    for (uint32_t k = 0; k < sizeof kKindNames / sizeof kKindNames[0]; ++k) {
        if (std::memcmp(upper, kKindNames[k], 4) == 0) {
            kind = k + 1;
            break;
        }
    }
    // Section 5.4: bit 5 (0x20) of each byte is the property bit.
    if (type[0] & 0x20) kind |= kAncillary;
    if (type[1] & 0x20) kind |= kPrivate;
    if (type[2] & 0x20) kind |= kReserved;
    if (type[3] & 0x20) kind |= kSafeToCopy;
    return kind;
}

void mtxImageCodecXng::Chunk::Reset() {
    flags = 0;
    owner = nullptr;
}

mtxImageCodecXng::Chunk::~Chunk() = default;

bool mtxImageCodecXng::Chunk::MarkRead() {
    if (flags & kChunkRead) return false;
    flags |= kChunkRead;
    return true;
}

uint32_t mtxImageCodecXng::Chunk::ReadChunk(uint64_t, uint32_t) {
    MarkRead();
    return 0;
}

void mtxImageCodecXng::Palette::Reset() {
    Chunk::Reset();
    count = 0;
    std::fill(entries, entries + 256, 0xFF000000u);
}

uint32_t mtxImageCodecXng::Palette::ReadChunk(uint64_t offset, uint32_t length) {
    if (!MarkRead()) return 0;
    auto* png = static_cast<mtxImageCodecPng*>(owner);
    uint64_t limit = png->header.bitDepth >= 8 ? 256 : 1u << png->header.bitDepth;
    // Section 11.2.3: a whole number of entries, no more than the depth can index.
    if (length % 3 != 0 || length / 3 > 256 || length / 3 > limit)
        return owner->Refuse("PLTE of " + std::to_string(length) + " bytes");
    uint8_t rgb[768];
    if (length && !owner->ReadAt(offset, rgb, length)) return owner->Refuse("cannot read PLTE");
    count = length / 3;
    for (uint32_t i = 0; i < count; ++i)
        entries[i] = mtxArgb(255, rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
    return 0;
}

mtxImageCodecXng::mtxImageCodecXng() {
    palette.owner = this;
}
mtxImageCodecXng::~mtxImageCodecXng() = default;

void mtxImageCodecXng::Setup(mtxFile* boundFile, mtxImage* boundImage, uint32_t codecFlags) {
    file = boundFile;
    image = boundImage;
    flags = codecFlags;
}

int mtxImageCodecXng::ReadAt(uint64_t offset, void* buffer, uint32_t count) {
    if (!file || file->Seek(static_cast<int64_t>(offset), 0) != static_cast<int64_t>(offset))
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        uint32_t got = file->Read(out, count);
        if (got == 0) return 0;
        out += got;
        count -= got;
    }
    return 1;
}

void mtxImageCodecXng::BuildCrcTable() {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        crcTable[i] = c;
    }
    // Slice k continues the CRC of a byte through k more zero bytes.
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = crcTable[i];
        for (int k = 0; k < 7; ++k) {
            c = crcTable[c & 0xFF] ^ (c >> 8);
            crcSlices_[k][i] = c;
        }
    }
}

uint32_t mtxImageCodecXng::UpdateCrc(uint32_t crc, const uint8_t* p, size_t size) const {
    while (size >= 8) {
        uint32_t lo = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                             uint32_t(p[3]) << 24);
        crc = crcSlices_[6][lo & 0xFF] ^ crcSlices_[5][(lo >> 8) & 0xFF] ^
              crcSlices_[4][(lo >> 16) & 0xFF] ^ crcSlices_[3][lo >> 24] ^ crcSlices_[2][p[4]] ^
              crcSlices_[1][p[5]] ^ crcSlices_[0][p[6]] ^ crcTable[p[7]];
        p += 8;
        size -= 8;
    }
    while (size--) crc = crcTable[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint32_t mtxImageCodecXng::Refuse(const std::string& text) {
    if (reason.empty()) reason = "PNG: " + text;
    return kFailed;
}

int mtxImageCodecXng::CheckCrc(uint64_t offset, uint32_t length) {
    // The CRC covers the type (the 4 bytes before the data) and the data.
    uint8_t buffer[16384];
    uint32_t crc = 0xFFFFFFFFu;
    uint64_t at = offset - 4;
    uint64_t left = uint64_t(length) + 4;
    while (left > 0) {
        uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(left, sizeof buffer));
        if (!ReadAt(at, buffer, n)) return 0;
        crc = UpdateCrc(crc, buffer, n);
        at += n;
        left -= n;
    }
    uint8_t stored[4];
    if (!ReadAt(at, stored, 4)) return 0;
    return BigEndian32(stored) == ~crc;
}

// PNG chunks.

mtxImageCodecPng::mtxImageCodecPng() {
    ResetChunks();
}

mtxImageCodecXng::Chunk* mtxImageCodecPng::ChunkFor(uint32_t kind) {
    switch (kind & kKindMask) {
        case kIHDR:
            return &header;
        case kPLTE:
            return &palette;
        case kIEND:
            return &end;
        case kBKGD:
            return &background;
        case kGAMA:
            return &gamma;
        case kCHRM:
            return &chromaticities;
        case kHIST:
            return &histogram;
        case kSBIT:
            return &significantBits;
        case kTRNS:
            return &transparency;
        case kPHYS:
            return &pixelDimensions;
        case kTIME:
            return &time;
        case kTEXT:
            return &text;
        case kZTXT:
            return &ztext;
        case kAMTN:
            return &thumbNail;
        default:
            return nullptr;
    }
}

void mtxImageCodecPng::ResetChunks() {
    for (uint32_t kind : {kIHDR, kPLTE, kIEND, kBKGD, kGAMA, kCHRM, kHIST, kSBIT, kTRNS, kPHYS,
                          kTIME, kTEXT, kZTXT, kAMTN}) {
        Chunk* chunk = ChunkFor(kind);
        chunk->Reset();
        chunk->owner = this;
    }
}

uint32_t mtxImageCodecPng::WriteChunkData(const char type[4], const uint8_t* data,
                                          uint32_t length) {
    uint8_t head[8] = {uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8),
                       uint8_t(length)};
    std::memcpy(head + 4, type, 4);
    uint32_t crc = UpdateCrc(0xFFFFFFFFu, head + 4, 4);
    crc = ~UpdateCrc(crc, data, length);
    uint8_t tail[4] = {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)};
    int ok = file->Write(head, 8);
    if (length) ok &= file->Write(data, length);
    ok &= file->Write(tail, 4);
    return ok ? 0 : kFailed;
}

void mtxImageCodecPng::Header::Reset() {
    Chunk::Reset();
    width = height = 0;
    bitDepth = 8;
    colorType = 6;
    compression = filter = interlace = 0;
}

uint32_t mtxImageCodecPng::Header::BitsPerPixel() const {
    static const uint32_t kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    return colorType < 7 ? kChannels[colorType] * bitDepth : 0;
}

uint32_t mtxImageCodecPng::Header::ReadChunk(uint64_t offset, uint32_t length) {
    if (!MarkRead()) return 0;
    // Section 11.2.2: IHDR comes first and holds 13 bytes.
    if (owner->chunkCount != 1) return owner->Refuse("IHDR is not the first chunk");
    if (length < 13) return owner->Refuse("IHDR of " + std::to_string(length) + " bytes");
    uint8_t d[13];
    if (!owner->ReadAt(offset, d, 13)) return owner->Refuse("cannot read IHDR");
    width = BigEndian32(d);
    height = BigEndian32(d + 4);
    bitDepth = d[8];
    colorType = d[9];
    compression = d[10];
    filter = d[11];
    interlace = d[12];
    // Sizes are at most 2^31 - 1 (section 11.2.2).
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return owner->Refuse("IHDR claims " + std::to_string(width) + " x " +
                             std::to_string(height) + " pixels");
    bool depthOk = false;
    switch (colorType) {
        case 0:
            depthOk =
                bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
            break;
        case 3:
            depthOk = bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
            break;
        case 2:
        case 4:
        case 6:
            depthOk = bitDepth == 8 || bitDepth == 16;
            break;
        default:
            break;
    }
    if (!depthOk)
        return owner->Refuse("IHDR: bit depth " + std::to_string(bitDepth) + " with colour type " +
                             std::to_string(colorType));
    if (compression != 0 || filter != 0 || interlace > 1)
        return owner->Refuse("IHDR: unknown compression, filter or interlace method");
    return 0;
}

uint32_t mtxImageCodecPng::Header::WriteChunk(mtxImageCodecPng& codec) {
    uint8_t d[13] = {uint8_t(width >> 24), uint8_t(width >> 16),  uint8_t(width >> 8),
                     uint8_t(width),       uint8_t(height >> 24), uint8_t(height >> 16),
                     uint8_t(height >> 8), uint8_t(height),       uint8_t(bitDepth),
                     uint8_t(colorType),   uint8_t(compression),  uint8_t(filter),
                     uint8_t(interlace)};
    flags |= kChunkRead;
    return codec.WriteChunkData("IHDR", d, 13);
}

uint32_t mtxImageCodecPng::End::ReadChunk(uint64_t, uint32_t) {
    MarkRead();
    return 0;
}

uint32_t mtxImageCodecPng::End::WriteChunk(mtxImageCodecPng& codec) {
    flags |= kChunkRead;
    return codec.WriteChunkData("IEND", nullptr, 0);
}

void mtxImageCodecPng::Transparency::Reset() {
    Chunk::Reset();
    key = 0;
    samples[0] = samples[1] = samples[2] = 0;
}

uint32_t mtxImageCodecPng::Transparency::ReadChunk(uint64_t offset, uint32_t length) {
    if (!MarkRead()) return 0;
    auto* png = static_cast<mtxImageCodecPng*>(owner);
    const Header& h = png->header;
    if (!h.IsRead()) return kFailed;
    // A key sample converts as an image sample of the same depth does.
    auto convert = [&](uint16_t v) -> uint32_t {
        if (h.bitDepth == 16) return v >> 8;
        if (h.bitDepth == 8) return v & 0xFF;
        uint32_t max = (1u << h.bitDepth) - 1;
        return (v & max) * 255 / max;
    };
    uint8_t d[256];
    switch (h.colorType) {
        case 0:
            if (length < 2 || !owner->ReadAt(offset, d, 2)) return kFailed;
            samples[0] = samples[1] = samples[2] = BigEndian16(d);
            key = mtxArgb(255, convert(samples[0]), convert(samples[0]), convert(samples[0]));
            return 0;
        case 2:
            if (length < 6 || !owner->ReadAt(offset, d, 6)) return kFailed;
            for (int i = 0; i < 3; ++i) samples[i] = BigEndian16(d + 2 * i);
            key = mtxArgb(255, convert(samples[0]), convert(samples[1]), convert(samples[2]));
            return 0;
        case 3: {
            if (!png->palette.IsRead()) return kFailed;
            uint32_t n = std::min<uint32_t>({length, png->palette.count, 256});
            if (n && !owner->ReadAt(offset, d, n)) return kFailed;
            for (uint32_t i = 0; i < n; ++i)
                png->palette.entries[i] = (png->palette.entries[i] & 0xFFFFFF) | uint32_t(d[i])
                                                                                     << 24;
            return 0;
        }
        default:
            return 0;
    }
}

void mtxImageCodecPng::Background::Reset() {
    Chunk::Reset();
    values[0] = values[1] = values[2] = 0;
}

uint32_t mtxImageCodecPng::Background::ReadChunk(uint64_t offset, uint32_t length) {
    if (!MarkRead()) return 0;
    const Header& h = static_cast<mtxImageCodecPng*>(owner)->header;
    if (!h.IsRead()) return kFailed;
    uint8_t d[6];
    switch (h.colorType) {
        case 0:
        case 4:
            if (length < 2 || !owner->ReadAt(offset, d, 2)) return kFailed;
            values[0] = BigEndian16(d);
            return 0;
        case 2:
        case 6:
            if (length < 6 || !owner->ReadAt(offset, d, 6)) return kFailed;
            for (int i = 0; i < 3; ++i) values[i] = BigEndian16(d + 2 * i);
            return 0;
        case 3:
            if (length < 1 || !owner->ReadAt(offset, d, 1)) return kFailed;
            values[0] = d[0];
            return 0;
        default:
            return 0;
    }
}

void mtxImageCodecPng::Gamma::Reset() {
    Chunk::Reset();
    gamma = 0;
}

uint32_t mtxImageCodecPng::Gamma::ReadChunk(uint64_t offset, uint32_t length) {
    if (!MarkRead()) return 0;
    uint8_t d[4];
    if (length < 4 || !owner->ReadAt(offset, d, 4)) return kFailed;
    gamma = BigEndian32(d);
    return 0;
}

void mtxImageCodecPng::Time::Reset() {
    Chunk::Reset();
    year = 0;
    month = day = hour = minute = second = 0;
}

uint32_t mtxImageCodecPng::Time::ReadChunk(uint64_t offset, uint32_t length) {
    if (!MarkRead()) return 0;
    uint8_t d[7];
    if (length < 7 || !owner->ReadAt(offset, d, 7)) return kFailed;
    year = BigEndian16(d);
    month = d[2];
    day = d[3];
    hour = d[4];
    minute = d[5];
    second = d[6];
    return 0;
}

void mtxImageCodecPng::ThumbNail::Reset() {
    Chunk::Reset();
    pixelType = 0;
    reserved = 0;
    thumbWidth = thumbHeight = 64;
    writeEnabled = 0;
    target = nullptr;
}

uint32_t mtxImageCodecPng::ThumbNail::ReadChunk(uint64_t offset, uint32_t length) {
    if (!target) return 0;  // nothing is read unless asked for
    if (!MarkRead()) return 0;
    uint8_t d[4];
    if (length < 4 || !owner->ReadAt(offset, d, 4)) return kFailed;
    pixelType = d[0];
    reserved = d[1];
    thumbWidth = d[2];
    thumbHeight = d[3];
    const uint32_t w = thumbWidth, h = thumbHeight, pixelBytes = ThumbPixelBytes(pixelType);
    const uint32_t size = w * h * pixelBytes;  // at most 255 x 255 x 4
    if (!pixelBytes || !w || !h || length - 4 < size) return kFailed;
    std::vector<uint8_t> bytes(size);
    if (!owner->ReadAt(offset + 4, bytes.data(), size)) return kFailed;
    mtxImage thumb;
    if (!thumb.Create(int(w), int(h), 0)) return kFailed;
    const uint8_t* p = bytes.data();
    for (uint32_t y = 0; y < h; ++y) {
        mtxColor* row = thumb.Row(int(y));
        for (uint32_t x = 0; x < w; ++x, p += pixelBytes)
            row[x] =
                pixelBytes == 4 ? mtxArgb(p[3], p[2], p[1], p[0]) : mtxArgb(255, p[0], p[0], p[0]);
    }
    // A target without a size takes the thumbnail's own; a sized one gets it scaled.
    if ((target->width <= 0 || target->height <= 0) && !target->Create(int(w), int(h), 0))
        return kFailed;
    ResizeImage(thumb, *target, 0);
    return 0;
}

uint32_t mtxImageCodecPng::ThumbNail::WriteChunk(mtxImageCodecPng& codec) {
    if (!writeEnabled) return 0;
    const uint32_t w = thumbWidth, h = thumbHeight, pixelBytes = ThumbPixelBytes(pixelType);
    if (!pixelBytes || !w || !h || !codec.image) return kFailed;
    mtxImage thumb;
    if (!thumb.Create(int(w), int(h), 0)) return kFailed;
    ResizeImage(*codec.image, thumb, 0);
    std::vector<uint8_t> d(4 + w * h * pixelBytes);
    d[0] = pixelType;
    d[1] = 0;
    d[2] = thumbWidth;
    d[3] = thumbHeight;
    uint8_t* out = d.data() + 4;
    for (uint32_t y = 0; y < h; ++y) {
        const mtxColor* row = thumb.Row(int(y));
        for (uint32_t x = 0; x < w; ++x) {
            const mtxColor c = row[x];
            if (pixelBytes == 4) {
                *out++ = uint8_t(mtxBlue(c)), *out++ = uint8_t(mtxGreen(c));
                *out++ = uint8_t(mtxRed(c)), *out++ = uint8_t(mtxAlpha(c));
            } else {
                // Grey is truncated, not rounded.
                *out++ = uint8_t(std::clamp(int(mtxPngRows::GreyLevel(c)), 0, 255));
            }
        }
    }
    flags |= kChunkRead;
    return codec.WriteChunkData("amTn", d.data(), uint32_t(d.size()));
}
