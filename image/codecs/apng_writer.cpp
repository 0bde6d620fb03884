#include "image/codecs/apng_writer.h"

#include <cstdint>
#include <cstring>

#include "image/codecs/png_encoder.h"
#include "image/file_memory.h"
#include "image/image.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

void BigEndian(uint8_t* out, uint32_t v) {
    out[0] = uint8_t(v >> 24), out[1] = uint8_t(v >> 16), out[2] = uint8_t(v >> 8);
    out[3] = uint8_t(v);
}

uint32_t ReadBigEndian(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

mtxApngWriter::mtxApngWriter(mtxFile& file, uint32_t frames, uint16_t delayNumerator,
                             uint16_t delayDenominator, uint32_t plays)
    : file_(file),
      frames_(frames),
      plays_(plays),
      delayNumerator_(delayNumerator),
      delayDenominator_(delayDenominator),
      crcTable_(256) {
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        crcTable_[n] = c;
    }
}

// ISO/IEC 15948 5.3: length, type, data, and the CRC-32 of type and data.
int mtxApngWriter::PutChunk(const char type[4], const uint8_t* data, uint32_t size) {
    uint8_t head[8];
    BigEndian(head, size);
    std::memcpy(head + 4, type, 4);
    uint32_t crc = 0xFFFFFFFFu;
    auto update = [&](const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i) crc = crcTable_[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    };
    update(head + 4, 4);
    if (size) update(data, size);
    uint8_t tail[4];
    BigEndian(tail, ~crc);
    if (!file_.Write(head, 8) || (size && !file_.Write(data, size)) || !file_.Write(tail, 4))
        failed_ = true;
    return failed_ ? 0 : 1;
}

// fcTL: the frame covers the canvas from its corner, shown for the delay,
// then left as it is (dispose none) and drawn over nothing (blend source).
int mtxApngWriter::PutFrameControl(int width, int height) {
    uint8_t control[26] = {};
    BigEndian(control, sequence_++);
    BigEndian(control + 4, uint32_t(width));
    BigEndian(control + 8, uint32_t(height));
    control[20] = uint8_t(delayNumerator_ >> 8), control[21] = uint8_t(delayNumerator_);
    control[22] = uint8_t(delayDenominator_ >> 8), control[23] = uint8_t(delayDenominator_);
    return PutChunk("fcTL", control, sizeof control);
}

int mtxApngWriter::EncodeFrame(mtxImage& frame, std::vector<uint8_t>& png) {
    png.clear();
    if (frame.IsEmpty()) return 0;
    mtxFileMemory file(1u << 20);
    mtxImageEncoderPng encoder(&file, &frame, 0);
    if (encoder.Encode() != 0) return 0;
    png.assign(file.Data(), file.Data() + file.GetLength());
    return 1;
}

int mtxApngWriter::AddFrame(mtxImage& frame) {
    if (failed_ || added_ >= frames_ || frame.IsEmpty()) return 0;
    if (added_ > 0 && (frame.width != width_ || frame.height != height_)) return 0;
    std::vector<uint8_t> png;
    return EncodeFrame(frame, png) && AddEncoded(png, frame.width, frame.height);
}

int mtxApngWriter::AddEncoded(const std::vector<uint8_t>& png, int width, int height) {
    if (failed_ || added_ >= frames_ || width < 1 || height < 1) return 0;
    if (added_ > 0 && (width != width_ || height != height_)) return 0;
    const uint8_t* bytes = png.data();
    const uint32_t size = uint32_t(png.size());
    if (png.size() > UINT32_MAX || size < 8 || std::memcmp(bytes, kSignature, 8) != 0) return 0;
    if (added_ == 0) {
        width_ = width, height_ = height;
        if (!file_.Write(kSignature, 8)) return failed_ = true, 0;
    }
    for (uint32_t at = 8; at + 12 <= size;) {
        uint32_t length = ReadBigEndian(bytes + at);
        if (length > size - at - 12) return failed_ = true, 0;
        const uint8_t* type = bytes + at + 4;
        const uint8_t* data = bytes + at + 8;
        if (std::memcmp(type, "IHDR", 4) == 0 && added_ == 0) {
            uint8_t animation[8];
            BigEndian(animation, frames_);
            BigEndian(animation + 4, plays_);
            if (!PutChunk("IHDR", data, length) || !PutChunk("acTL", animation, 8) ||
                !PutFrameControl(width_, height_))
                return 0;
        } else if (std::memcmp(type, "IHDR", 4) == 0) {
            if (!PutFrameControl(width_, height_)) return 0;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            if (added_ == 0) {
                if (!PutChunk("IDAT", data, length)) return 0;
            } else {
                std::vector<uint8_t> body(size_t(length) + 4);
                BigEndian(body.data(), sequence_++);
                std::memcpy(body.data() + 4, data, length);
                if (!PutChunk("fdAT", body.data(), uint32_t(body.size()))) return 0;
            }
        }
        at += length + 12;
    }
    ++added_;
    return failed_ ? 0 : 1;
}

int mtxApngWriter::Finish() {
    if (failed_ || added_ != frames_) return 0;
    return PutChunk("IEND", nullptr, 0);
}
