#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class mtxFile;

// The entropy-coding symbols of a JPEG scan kept between its statistics pass
// and its coding pass, so that the pixels and coefficients need not be: each
// symbol as its byte (a DC category, or run << 4 | size for AC) followed by
// its extra bits, whose count is the byte's low four bits. Packed most
// significant first into chunks of 32-bit words, the store takes about one and
// a half times the coded scan; with a spill file, only heldChunks of them stay
// in memory, the rest going to the file in order.
//
//   symbols.Put(0x21, 1);            // run 2, size 1, extra bit 1
//   symbols.Close();                 // before the first Get
//   uint32_t symbol = symbols.Get(8), extra = symbols.Get(symbol & 15);
class mtxJpegSymbols {
  public:
    static constexpr size_t kChunkWords = size_t(1) << 18;  // 1 MB

    explicit mtxJpegSymbols(size_t heldChunks = 8) : heldChunks_(heldChunks ? heldChunks : 1) {}

    // Where chunks beyond the held ones go (null: none, all stay in memory);
    // the file is written from its start. Before the first Put.
    void SpillTo(mtxFile* file) { spill_ = file; }
    // Appends a symbol and its extra bits (symbol & 15 of them). 0 when
    // memory is short: the store is then unusable.
    int Put(uint32_t symbol, uint32_t extra) {
        const uint32_t count = 8 + (symbol & 15);
        pending_ = pending_ << count | symbol << (symbol & 15) | extra;
        pendingBits_ += count;
        if (pendingBits_ >= 32) {
            pendingBits_ -= 32;
            return PutWord(uint32_t(pending_ >> pendingBits_));
        }
        return 1;
    }
    // Writes out the last bits and starts reading from the first symbol. 0
    // when memory is short or the spill file failed.
    int Close();
    // The next count (at most 24) bits; past the end, or once reading the
    // spill file failed, zeros.
    uint32_t Get(uint32_t count) {
        if (availableBits_ < count) {
            available_ = available_ << 32 | NextWord();
            availableBits_ += 32;
        }
        availableBits_ -= count;
        return uint32_t(available_ >> availableBits_) & ((1u << count) - 1);
    }
    // Whether a chunk could not be made, written or read back.
    bool Failed() const { return failed_; }
    // Lets the memory go; the store is empty again (the spill file kept).
    void Clear();
    // Bytes held in memory, and written to the spill file.
    size_t Bytes() const { return chunks_.size() * kChunkWords * sizeof(uint32_t); }
    size_t SpilledBytes() const { return spilled_ * kChunkWords * sizeof(uint32_t); }

  private:
    int PutWord(uint32_t word) {
        if (fill_ == kChunkWords && !AddChunk()) return 0;
        chunks_.back()[fill_++] = word;
        return 1;
    }
    int AddChunk();
    int Spill();
    uint32_t NextWord();
    const uint32_t* ReadChunk();

    std::vector<std::unique_ptr<uint32_t[]>> chunks_;
    std::unique_ptr<uint32_t[]> readBuffer_;  // a spilled chunk read back
    mtxFile* spill_ = nullptr;
    size_t heldChunks_, spilled_ = 0;  // chunks in the spill file
    size_t fill_ = kChunkWords;        // words used in the last chunk
    size_t readChunk_ = 0, readWord_ = 0;
    uint64_t pending_ = 0, available_ = 0;
    uint32_t pendingBits_ = 0, availableBits_ = 0;
    bool failed_ = false;
};
