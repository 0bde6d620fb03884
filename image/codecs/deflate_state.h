#pragma once
// The working state of mtxDeflate, shared by its encoder and decoder halves.
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "image/codecs/deflate.h"
#include "image/codecs/deflate_huffman.h"

// Decoded bytes are produced in batches behind 32 KB of history; a batch may
// overshoot its target by one length/distance copy, and copies move 8 bytes
// at a time, so the window keeps slack past the end of a batch.
constexpr uint32_t kHistory = 32768;
constexpr uint32_t kDecodeBatch = 65536;
constexpr uint32_t kDecodeSlack = 258 + 16;
constexpr uint32_t kDecodeWindowSize = kHistory + kDecodeBatch + kDecodeSlack;

struct mtxDeflate::DecoderState {
    static constexpr uint32_t kInputSize = 32768;

    void Reset() {
        inPos = inEnd = 0;
        inputEnded = 0;
    }

    uint8_t input[kInputSize + 8] = {};
    uint32_t inPos = 0, inEnd = 0;
    int inputEnded = 0;
    uint32_t literal[mtxHuffman::kLiteralTableSize];
    uint32_t distance[mtxHuffman::kDistanceTableSize];
    uint32_t codeLength[mtxHuffman::kCodeLengthTableSize];
};

struct mtxDeflate::EncoderState {
    static constexpr uint32_t kHashSize = 32768;
    static constexpr uint32_t kHash4Size = 65536;
    static constexpr uint32_t kSymbolCapacity = 65536;
    static constexpr uint32_t kSymbolLimit = 65526;  // a block ends at this many symbol entries
    static constexpr uint32_t kMinLookAhead = 262;   // longest match plus a hash's bytes
    static constexpr uint32_t kOutputSize = 65536;

    explicit EncoderState(uint32_t windowSize)
        : window(windowSize),
          // History of one window, then up to one more window of input; 16
          // bytes of slack let comparisons read 8 bytes at a time.
          buffer(new uint8_t[2 * windowSize + kMinLookAhead + 16]()),
          bufferSize(2 * windowSize + kMinLookAhead),
          prev(new uint16_t[windowSize]()),
          head4(new int32_t[kHash4Size]),
          prev4(new uint16_t[windowSize]()),
          hashAt(new uint16_t[windowSize]()),
          sequence(new uint32_t[windowSize]()),
          symbols(new uint16_t[kSymbolCapacity]),
          output(new uint8_t[kOutputSize + 16]) {
        for (uint32_t i = 0; i < kHashSize; ++i) head[i] = -1;
        for (uint32_t i = 0; i < kHash4Size; ++i) head4[i] = -1;
    }

    uint32_t window;
    std::unique_ptr<uint8_t[]> buffer;  // input bytes; positions below cur are history
    uint32_t bufferSize;
    uint32_t cur = 0, end = 0;
    uint64_t inputLeft = 0;  // bytes of this Compress call not yet read from the input file
    // Hash chains: the most recent position of each hash (a buffer index, -1
    // for none), and per window slot the distance back to the previous
    // position with the same hash (0 for none). Distances need 16 bits only,
    // which halves the chain walk's memory, and survive sliding unchanged. A
    // chain is followed only while its positions stay inside the window.
    int32_t head[kHashSize];
    std::unique_ptr<uint16_t[]> prev;
    // A second set of chains over the first four bytes, and per window slot
    // the 3-byte hash and its sequence number on that chain (count[h] is the
    // number of positions that ever joined chain h), which give a position's
    // rank on its 3-byte chain without walking it.
    std::unique_ptr<int32_t[]> head4;
    std::unique_ptr<uint16_t[]> prev4;
    std::unique_ptr<uint16_t[]> hashAt;
    std::unique_ptr<uint32_t[]> sequence;
    uint32_t count[kHashSize] = {};
    std::unique_ptr<uint16_t[]> symbols;  // literal, or 256 + length followed by distance
    uint32_t symbolCount = 0;
    uint32_t literalFreq[288] = {};
    uint32_t distanceFreq[32] = {};
    std::unique_ptr<uint8_t[]> output;
    uint32_t outputCount = 0;
    int writeFailed = 0;
};
