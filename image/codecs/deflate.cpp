#include "image/codecs/deflate.h"

#include "image/codecs/deflate_state.h"

mtxCompressor::~mtxCompressor() = default;

uint32_t mtxCompressor::SetInput(mtxFile* file) {
    input_ = file;
    return 0;
}

uint32_t mtxCompressor::SetOutput(mtxFile* file) {
    output_ = file;
    return 0;
}

uint32_t mtxAdler32(uint32_t adler, const uint8_t* data, size_t size) {
    // RFC 1950 8.2: s1 and s2 modulo 65521. 5552 is the most bytes that can
    // be summed before s2 might overflow 32 bits, so the modulo runs once per
    // block instead of once per byte; the value is the same.
    constexpr uint32_t kBase = 65521;
    constexpr size_t kBlock = 5552;
    uint32_t s1 = adler & 0xFFFF, s2 = adler >> 16;
    while (size > 0) {
        size_t n = size < kBlock ? size : kBlock;
        size -= n;
        while (n >= 8) {
            s1 += data[0];
            s2 += s1;
            s1 += data[1];
            s2 += s1;
            s1 += data[2];
            s2 += s1;
            s1 += data[3];
            s2 += s1;
            s1 += data[4];
            s2 += s1;
            s1 += data[5];
            s2 += s1;
            s1 += data[6];
            s2 += s1;
            s1 += data[7];
            s2 += s1;
            data += 8;
            n -= 8;
        }
        while (n--) {
            s1 += *data++;
            s2 += s1;
        }
        s1 %= kBase;
        s2 %= kBase;
    }
    return s2 << 16 | s1;
}

mtxDeflate::mtxDeflate(int windowBits, int level)
    : windowSize_(1u << windowBits),
      level_(static_cast<uint32_t>(level)),
      window_(new uint8_t[kDecodeWindowSize]()) {}

mtxDeflate::~mtxDeflate() {
    if (mode_ == kCompressing) EndCompress();
    if (mode_ == kDecompressing) EndDecompress();
}

void mtxDeflate::BeginCompress() {
    if (mode_ == kDecompressing) EndDecompress();
    accumulator_ = 0;
    accumulatorBits_ = 0;
    // A new stream must not reach back into the history of an earlier one,
    // so the compressing state starts afresh even when it already exists.
    InitCompress();
    encoderFlags_ &= ~1u;
}

int mtxDeflate::InitCompress() {
    enc_.reset(new (std::nothrow) EncoderState(windowSize_));
    if (!enc_) return 0;
    mode_ = kCompressing;
    return 1;
}

void mtxDeflate::EndCompress() {
    enc_.reset();
    if (mode_ == kCompressing) mode_ = kIdle;
}

void mtxDeflate::BeginDecompress() {
    if (mode_ == kCompressing) EndCompress();
    bitBuffer_ = 0;
    bitCount_ = 0;
    phantom_ = 0;
    if (mode_ != kDecompressing) InitDecompress();
    flags_ = 0;
    state_ = kStateBlockHeader;
    storedLeft_ = 0;
    writePos_ = deliverPos_ = 0;
    status_ = kOk;
    fault_ = nullptr;
    s1_ = 1;
    s2_ = 0;
    if (dec_) dec_->Reset();
}

int mtxDeflate::InitDecompress() {
    mode_ = kDecompressing;
    writePos_ = deliverPos_ = 0;
    dec_.reset(new (std::nothrow) DecoderState);
    return dec_ ? 1 : 0;
}

void mtxDeflate::EndDecompress() {
    dec_.reset();
    if (mode_ == kDecompressing) mode_ = kIdle;
}
