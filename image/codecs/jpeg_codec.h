#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "image/codecs/jpeg_shared.h"
#include "image/image_converter.h"

// The file side of the JPEG writer: the frame, component and scan records,
// and the writing of markers, tables and entropy-coded bytes (byte stuffing,
// 1-bit padding, restart markers). The pixel pipeline is
// mtxImageEncoderJpeg.
class mtxImageCodecJpeg : public mtxImageCodec {
  public:
    static constexpr int kFailure = static_cast<int>(0x80004005u);  // E_FAIL

    struct Frame;

    struct Component {
        Frame* frame = nullptr;
        uint32_t reserved = 0;
        uint32_t id = 0;  // 1 Y, 2 Cb, 3 Cr
        uint32_t horizontal = 1, vertical = 1;
        uint32_t boxWidth = 1, boxHeight = 1;  // downsampling box (max factor / own factor)
        uint32_t blocksAcross = 0, blocksDown = 0;
        uint32_t quantisation[64] = {};  // natural order
    };

    struct Frame {
        uint32_t marker = mtxJpeg::kSOF0;
        uint32_t reserved = 0;
        uint32_t width = 0, height = 0;
        uint32_t maxHorizontal = 1, maxVertical = 1;
        uint32_t mcusAcross = 0, mcusDown = 0;
        uint32_t mcuWidth = 8, mcuHeight = 8;
        uint32_t componentCount = 0;
        Component components[3];
    };

    struct Scan {
        struct Member {
            Component* component = nullptr;
            uint32_t dcTable = 0, acTable = 0;
            int lastDc = 0;
        };
        uint32_t componentCount = 0;
        Member members[3];
        mtxJpeg::HuffmanTable dc[2], ac[2];
        bool used[2] = {};  // table numbers in use
    };

    mtxImageCodecJpeg() = default;
    mtxImageCodecJpeg(mtxFile* boundFile, mtxImage* boundImage, uint32_t codecFlags)
        : mtxImageCodec(boundFile, boundImage, codecFlags) {}

    Frame frame;
    std::vector<Scan> scans;
    float quality = 100.0f;
    uint32_t restartInterval = 0;  // MCUs between restart markers; 0 = none
    uint32_t outputPosition = 0;   // file offset of the next byte

  protected:
    // Markers from SOI to SOS (T.81 B.2), for the first scan.
    void WriteHeaders();
    void WriteEndOfImage();

    // Entropy-coded data: bits are packed most significant first, each 0xFF
    // byte is followed by a stuffed 0x00 (T.81 B.1.1.5).
    void PutBits(uint32_t bits, uint32_t count) {
        bitBuffer_ = bitBuffer_ << count | bits;
        bitCount_ += count;
        if (bitCount_ >= 32) {
            bitCount_ -= 32;
            PutWord(static_cast<uint32_t>(bitBuffer_ >> bitCount_));
        }
    }
    // Completes the pending bits to a byte with 1 bits (T.81 F.1.2.3).
    void PadBits();
    // Pads, then writes restart marker RSTn, n = index mod 8.
    void PutRestart(uint32_t index);

    // Writes the buffered bytes to the file. 0 once any write failed.
    int FlushOutput();
    bool WriteFailed() const { return writeFailed_; }

  private:
    void PutWord(uint32_t word) {
        if (outEnd_ - out_ < 8) FlushOutput();
        // Fast path: no 0xFF byte among the four (no zero byte in ~word).
        uint32_t inverse = ~word;
        if (((inverse - 0x01010101u) & ~inverse & 0x80808080u) == 0) {
            out_[0] = uint8_t(word >> 24), out_[1] = uint8_t(word >> 16);
            out_[2] = uint8_t(word >> 8), out_[3] = uint8_t(word);
            out_ += 4;
            return;
        }
        for (int shift = 24; shift >= 0; shift -= 8) PutStuffed(uint8_t(word >> shift));
    }
    void PutStuffed(uint8_t byte) {
        *out_++ = byte;
        if (byte == 0xFF) *out_++ = 0;
    }
    void PutRaw(const uint8_t* bytes, size_t count);
    void PutMarker(uint8_t code) {
        uint8_t marker[2] = {0xFF, code};
        PutRaw(marker, 2);
    }
    void PutSegment(uint8_t code, const uint8_t* body, size_t count);

    static constexpr size_t kOutputSize = 1 << 16;
    std::unique_ptr<uint8_t[]> output_ = std::make_unique<uint8_t[]>(kOutputSize);
    uint8_t* out_ = output_.get();
    uint8_t* outEnd_ = output_.get() + kOutputSize;
    uint64_t bitBuffer_ = 0;
    uint32_t bitCount_ = 0;
    bool writeFailed_ = false;
};
