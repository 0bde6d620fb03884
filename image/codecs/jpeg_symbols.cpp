#include "image/codecs/jpeg_symbols.h"

#include <new>

int mtxJpegSymbols::Close() {
    if (pendingBits_ && !PutWord(uint32_t(pending_ << (32 - pendingBits_)))) return 0;
    pendingBits_ = 0;
    readChunk_ = readWord_ = 0;
    available_ = 0;
    availableBits_ = 0;
    return failed_ ? 0 : 1;
}

void mtxJpegSymbols::Clear() {
    chunks_.clear();
    fill_ = kChunkWords;
    readChunk_ = readWord_ = 0;
    pending_ = available_ = 0;
    pendingBits_ = availableBits_ = 0;
    failed_ = false;
}

int mtxJpegSymbols::AddChunk() {
    std::unique_ptr<uint32_t[]> chunk(new (std::nothrow) uint32_t[kChunkWords]);
    if (!chunk) return failed_ = true, 0;
    // The vector's own growth is small beside the chunks, but may fail too.
    try {
        chunks_.push_back(std::move(chunk));
    } catch (const std::bad_alloc&) {
        return failed_ = true, 0;
    }
    fill_ = 0;
    return 1;
}

uint32_t mtxJpegSymbols::NextWord() {
    if (readChunk_ >= chunks_.size()) return 0;
    const size_t words = readChunk_ + 1 == chunks_.size() ? fill_ : kChunkWords;
    if (readWord_ >= words) return 0;
    uint32_t word = chunks_[readChunk_][readWord_++];
    if (readWord_ == kChunkWords) ++readChunk_, readWord_ = 0;
    return word;
}
